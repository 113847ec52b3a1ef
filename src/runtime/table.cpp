// Keyed hash table: fixed-size records found by any of up to four string keys
// and walked in entry order.
// No file-static state (each table is the caller's).
#include "runtime/table.h"

#include <array>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int max_keys = 4;
constexpr std::uint64_t hash_modulus = 35177;

char *copy_key(const char *key) {
    const std::size_t n = std::strlen(key) + 1;
    auto *copy = static_cast<char *>(std::malloc(n));
    if (copy) std::memcpy(copy, key, n);
    return copy;
}

// Whether key array `keynum` (1-based) of `tab` can be searched.
bool searchable(const TAB_table *tab, int keynum, const char *key) {
    return tab && key && tab->tab_size > 0 && keynum >= 1 && keynum <= tab->numkey && keynum <= max_keys &&
           tab->table[keynum - 1];
}

} // namespace

int TAB_key(TAB_table *tab, const char *key) {
    std::uint64_t h = 0;
    if (key) {
        for (const char *p = key; *p; ++p) {
            // The byte counts as a signed value: bytes of 128 and above subtract.
            const auto c =
                static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<signed char>(*p)));
            h = (h * 257 + c) % hash_modulus;
        }
    }
    if (!tab || tab->tab_size < 1) return 0;
    return static_cast<int>(h % static_cast<std::uint64_t>(tab->tab_size));
}

int TAB_init(TAB_table *tab) {
    if (!tab) return 0;
    tab->data_ptr = nullptr;
    tab->head_ptr = nullptr;
    tab->last_ptr = nullptr;
    tab->num_entry = 0;
    tab->numkey = 0;
    return 0;
}

int TAB_create(TAB_table *tab, int tsize, int dsize, int nkey) {
    if (!tab) return -1;
    TAB_init(tab);
    tab->tab_size = 0;
    tab->data_size = dsize;
    for (auto &t : tab->table)
        t = nullptr;
    if (dsize < 0 || nkey < 1 || nkey > max_keys) return -1;

    // A size estimated from a very small file can be 0: keep one bucket, the
    // chains take any number of records.
    const int size = tsize < 1 ? 1 : tsize;
    for (int k = 0; k < nkey; ++k) {
        // calloc leaves key, data, link and next null in every bucket head.
        tab->table[k] =
            static_cast<TAB_entry *>(std::calloc(static_cast<std::size_t>(size), sizeof(TAB_entry)));
        if (!tab->table[k]) {
            for (int j = 0; j < k; ++j) {
                std::free(tab->table[j]);
                tab->table[j] = nullptr;
            }
            return -1;
        }
    }
    tab->tab_size = size;
    tab->numkey = nkey;
    return 0;
}

int TAB_enter(TAB_table *tab, const char *data, ...) {
    if (!tab || !data || tab->tab_size < 1 || tab->numkey < 1 || tab->numkey > max_keys) return -1;
    const int nkey = tab->numkey;

    std::array<const char *, max_keys> keys{};
    va_list ap;
    va_start(ap, data);
    for (int k = 0; k < nkey; ++k)
        keys[k] = va_arg(ap, const char *);
    va_end(ap);
    for (int k = 0; k < nkey; ++k) {
        if (!keys[k] || !tab->table[k]) return -1;
    }

    // Everything the record needs is allocated before anything is linked in,
    // so that running out of memory leaves the table as it was.
    std::array<TAB_entry *, max_keys> slot{}; // the empty bucket head, or the new entry
    std::array<TAB_entry *, max_keys> tail{}; // the chain end the new entry goes behind
    std::array<char *, max_keys> key_copy{};
    char *record = nullptr;
    bool ok = true;
    for (int k = 0; k < nkey && ok; ++k) {
        TAB_entry *e = &tab->table[k][TAB_key(tab, keys[k])];
        if (!e->key) {
            slot[k] = e;
        } else {
            while (e->link)
                e = e->link;
            tail[k] = e;
            slot[k] = static_cast<TAB_entry *>(std::calloc(1, sizeof(TAB_entry)));
            ok = slot[k] != nullptr;
        }
        if (ok) {
            key_copy[k] = copy_key(keys[k]);
            ok = key_copy[k] != nullptr;
        }
    }
    if (ok) {
        record = static_cast<char *>(
            std::malloc(tab->data_size > 0 ? static_cast<std::size_t>(tab->data_size) : 1));
        ok = record != nullptr;
    }
    if (!ok) {
        for (int k = 0; k < nkey; ++k) {
            std::free(key_copy[k]);
            if (tail[k]) std::free(slot[k]);
        }
        return -1;
    }

    if (tab->data_size > 0) std::memcpy(record, data, static_cast<std::size_t>(tab->data_size));
    for (int k = 0; k < nkey; ++k) {
        slot[k]->key = key_copy[k];
        slot[k]->data = record;
        slot[k]->link = nullptr;
        slot[k]->next = nullptr;
        if (tail[k]) tail[k]->link = slot[k];
    }
    if (tab->last_ptr) {
        tab->last_ptr->next = slot[0];
    } else {
        tab->head_ptr = slot[0];
    }
    tab->last_ptr = slot[0];
    ++tab->num_entry;
    return 0;
}

char *TAB_search(TAB_table *tab, int keynum, const char *key) {
    if (!searchable(tab, keynum, key)) return nullptr;
    for (TAB_entry *e = &tab->table[keynum - 1][TAB_key(tab, key)]; e && e->key; e = e->link) {
        if (std::strcmp(e->key, key) == 0) return e->data;
    }
    return nullptr;
}

int TAB_searches(TAB_table *tab, int keynum, const char *key, char **ptrs, int max) {
    if (!searchable(tab, keynum, key) || !ptrs || max < 1) return 0;
    int n = 0;
    for (TAB_entry *e = &tab->table[keynum - 1][TAB_key(tab, key)]; e && e->key && n < max; e = e->link) {
        if (std::strcmp(e->key, key) == 0) ptrs[n++] = e->data;
    }
    return n;
}

int TAB_first(TAB_table *tab) {
    if (tab) tab->data_ptr = tab->head_ptr;
    return 0;
}

char *TAB_next(TAB_table *tab) {
    if (!tab || tab->tab_size < 1 || !tab->data_ptr) return nullptr;
    TAB_entry *e = tab->data_ptr;
    tab->data_ptr = e->next;
    return e->data;
}

int TAB_clear(TAB_table *tab) {
    if (!tab) return 0;
    const int nkey = tab->numkey < 0 ? 0 : (tab->numkey > max_keys ? max_keys : tab->numkey);
    for (int k = 0; k < nkey; ++k) {
        TAB_entry *heads = tab->table[k];
        if (!heads) continue;
        for (int b = 0; b < tab->tab_size; ++b) {
            TAB_entry *head = &heads[b];
            std::free(head->key);
            // Each record is freed once, through its first key's entry.
            if (k == 0) std::free(head->data);
            TAB_entry *e = head->link;
            while (e) {
                TAB_entry *after = e->link;
                std::free(e->key);
                if (k == 0) std::free(e->data);
                std::free(e);
                e = after;
            }
        }
        std::free(heads);
        tab->table[k] = nullptr;
    }
    TAB_init(tab);
    tab->tab_size = 0;
    return 0;
}
