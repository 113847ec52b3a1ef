#!/usr/bin/env bash
# The region step of the main loop: domains given by resource, the region
# menu and its listing, batch mode and the exit statuses.
. "$(dirname "$0")/lib/common.sh"

obs="$work/obs.sfc"
# A surface file that opens; the plot type "none" analyses without drawing.
cp "$ZEQ_SOURCE_DIR/data/04120812.sfc" "$obs"
mkdir "$work/regions" "$work/empty"
# A file_path directory holds the other tables too.
cp "$ZEQ_SOURCE_DIR/data/name_conv" "$work/regions/"
cp "$ZEQ_SOURCE_DIR/data/name_conv" "$work/empty/"
cat >"$work/regions/zeq.reg" <<'EOF'
# test regions
ne Northeast        1 ps,42,-76
cp Central_Plains   1 lamb,40,-98,31,21,0.8,0.8
hid Hidden          0 ps,10,20
EOF

# An invalid plot domain ends the program with status 43.
"$TARNISK" "$obs" -pl none -pd 'xx,1,2' >"$work/out" 2>"$work/err" </dev/null
check "-pd xx,1,2 status 43 (got $?)" $(($? != 43))
grep -qx "Invalid domain" "$work/err"
check "-pd xx,1,2 says Invalid domain" $?
grep -qx "DOM_decode: Invalid plot domain" "$work/err"
check "-pd xx,1,2 warns of the plot domain" $?
! grep -q "Enter the region" "$work/out"
check "-pd xx,1,2 does not prompt" $?

# A region name that is nowhere to be found is just as invalid.
"$TARNISK" "$obs" -pl none -re nosuch -fp "$work/regions" >/dev/null 2>"$work/err" </dev/null
check "-re nosuch status 43" $(($? != 43))
grep -qx "Invalid domain" "$work/err"
check "-re nosuch says Invalid domain" $?

# "list" at the region prompt lists the region file; "exit" ends with 0.
printf 'list\nexit\n' | "$TARNISK" "$obs" -pl none -fp "$work/regions" >"$work/out" 2>"$work/err"
check "list, exit status 0" $?
[ "$(grep -c '^        Region Menu$' "$work/out")" -eq 2 ]
check "the menu is shown for each answer" $?
grep -q '^  1: Northeast  *$' "$work/out" && grep -q '^  2: Central Plains  *$' "$work/out"
check "menu rows with blanks for underscores" $?
grep -q '^ -1: Exit program' "$work/out"
check "menu exit entry" $?
grep -q ' Abbr    Description$' "$work/out"
check "listing header" $?
grep -q '^cp       Central_Plains  *$' "$work/out" && grep -q '^hid      Hidden  *$' "$work/out"
check "listing rows as written, hidden ones too" $?
[ ! -s "$work/err" ]
check "list, exit writes nothing to stderr" $?

# Without file_path the shipped region file is used.
printf 'exit\n' | "$TARNISK" "$obs" -pl none >"$work/out" 2>&1
check "shipped regions: exit status 0" $?
grep -q '^  1: United States' "$work/out" && grep -q ': Europe' "$work/out"
check "shipped regions in the menu" $?

# A region by resource and a variable by resource: the region is decoded
# once (through the region file), nothing is asked, and the program ends
# with status 0 after that region's plot.
"$TARNISK" "$obs" -pl none -re cp -va temp -fp "$work/regions" -me debug >"$work/out" 2>"$work/err" </dev/null
check "-re cp -va temp status 0" $?
# (the analysis decodes it again for its grid domain, after the plot call)
[ "$(sed '/^SFC_plot: /q' "$work/out" | grep -c '^\*\*\*\*\*\*\*\* PARSING DOMAIN: 1 cp$')" -eq 1 ]
check "-re cp decoded once before the plot" $?
grep -q '^\*\*\*\*\*\*\*\* PARSING DOMAIN: 7 lamb,40,-98,31,21,0.8,0.8$' "$work/out"
check "-re cp found in the region file" $?
! grep -q "Enter the" "$work/out"
check "-re cp -va temp asks nothing" $?
[ "$(grep -c '^SFC_plot: 1 variables$' "$work/out")" -eq 1 ]
check "-re cp -va temp reaches the plot call once" $?

# Five unusable answers end the program with status 43.
printf 'foo\nbar\nlist\nxx,1,2\nbaz\nne\n' | "$TARNISK" "$obs" -pl none -fp "$work/regions" >"$work/out" 2>"$work/err"
check "five unusable answers: status 43" $(($? != 43))
[ "$(grep -cx 'Invalid domain' "$work/err")" -eq 4 ]
check "four invalid answers warned" $?

# Batch mode takes the first region once; without a region it fails.
"$TARNISK" "$obs" -pl none -ba -va temp -fp "$work/regions" -me debug >"$work/out" 2>"$work/err" </dev/null
check "batch status 0" $?
[ "$(grep -c '^\*\*\*\*\*\*\*\* PARSING DOMAIN: 1 ne$' "$work/out")" -eq 1 ]
check "batch decodes the first region once" $?
[ "$(grep -c '^SFC_plot: ' "$work/out")" -eq 1 ]
check "batch plots once" $?
"$TARNISK" "$obs" -pl none -ba -fp "$work/empty" >"$work/out" 2>"$work/err" </dev/null
check "batch without regions status 43" $(($? != 43))
grep -qx "DOM_prompt_region: No region for the batch run" "$work/err"
check "batch without regions says so" $?

exit $fail
