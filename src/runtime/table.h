// Keyed hash table: fixed-size records found by any of up to four string
// keys, and walked in the order in which they were entered.
#pragma once

// One entry of a bucket chain. All entries of a record (one per key) point to
// the same record copy; `next` links the records in entry order and is used on
// the first key's entries only.
struct TAB_entry {
    char *key;       // owned copy of the key; null in a bucket head that holds nothing yet
    char *data;      // the record
    TAB_entry *link; // next entry of the same bucket chain
    TAB_entry *next; // next record in entry order
};

// A table. The caller owns this record; the table owns the key copies, the
// record copies, the chained entries and the bucket arrays (released by
// TAB_clear).
struct TAB_table {
    int tab_size;        // buckets per key
    int data_size;       // bytes of one record
    TAB_entry *data_ptr; // iteration position: the entry TAB_next returns next
    TAB_entry *head_ptr; // first record entered
    TAB_entry *last_ptr; // last record entered
    int num_entry;       // records entered
    int numkey;          // keys per record, 1 to 4
    TAB_entry *table[4]; // per key, an array of tab_size bucket heads
};

// Bucket number of `key` in `tab` (0 for a table without buckets).
int TAB_key(TAB_table *tab, const char *key);

// Empties the entry list and the counts (does not release anything); 0.
int TAB_init(TAB_table *tab);

// Makes `tab` an empty table of `tsize` buckets per key (at least 1) for
// records of `dsize` bytes under `nkey` keys (1 to 4); 0, or -1 when the
// arguments are unusable or memory runs out (the table then finds nothing).
int TAB_create(TAB_table *tab, int tsize, int dsize, int nkey);

// Enters a copy of the record `data` under the keys that follow, one
// `const char *` per key in key order; 0, or -1 when a key is null or memory
// runs out (nothing of the record is entered then).
int TAB_enter(TAB_table *tab, const char *data, ...);

// The record first entered whose key number `keynum` (1-based) equals `key`
// exactly; null when none. The record belongs to the table: it may be changed
// in place but not freed.
char *TAB_search(TAB_table *tab, int keynum, const char *key);

// Stores the records whose key `keynum` equals `key`, in entry order, into
// `ptrs` (at most `max`); returns how many.
int TAB_searches(TAB_table *tab, int keynum, const char *key, char **ptrs, int max);

// Rewinds the iteration to the first record entered; 0.
int TAB_first(TAB_table *tab);

// The next record in entry order, advancing; null at the end.
char *TAB_next(TAB_table *tab);

// Releases every key, record, chained entry and bucket array; afterwards the
// table finds nothing until it is created again. 0.
int TAB_clear(TAB_table *tab);
