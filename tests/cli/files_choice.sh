#!/usr/bin/env bash
# The choice of the input file by the real program: the name convention table,
# the current-time specs, the latest-file search, the prompts and the exit
# statuses. The region prompt that follows the choice ends the run with 0.
. "$(dirname "$0")/lib/common.sh"

fix="$ZEQ_TEST_DATA/files"
sfc="$fix/sfc"
# Files of 1996-01-01: 06 and 08 hold data, 09 is empty (not usable).
run() { # arguments of the program; standard input from $input
    env zeqcurtime="${curtime:-#199601011000}" "$TARNISK" -pl none -fp "$fix" -dp "$sfc" "$@" \
        <<<"${input:-}" >"$work/out" 2>"$work/err"
}
out() { cat "$work/out" "$work/err"; }

# The latest file: 10 is missing, 09 is empty, 08 is taken, and said so.
run -cu la
check "la status" $?
out | grep -qx "Current filename: $sfc/96010108.sfc"
check "la picks the newest usable file" $?
run -cu la -me debug
tries=$(out | sed -n 's/^LATE: //p' | tr '\n' ' ')
[ "$tries" = "$sfc/96010110.sfc $sfc/96010109.sfc $sfc/96010108.sfc " ]
check "la searches back hour by hour (got: $tries)" $?

# Current-time specs with the base time from zeqcurtime or typed.
while read -r spec expected; do
    run -cu "$spec"
    status=$?
    check "$spec status ($status)" $status
    out | grep -qx "Current filename: $sfc/$expected"
    st=$?; check "$spec gives $expected ($(out | tr '\n' '|'))" $st
done <<'EOF'
la-2 96010106.sfc
la#3 96010108.sfc
2 96010108.sfc
-4la 96010106.sfc
#199601011200la 96010108.sfc
#1996010108 96010108.sfc
EOF

# A spec naming a missing file ends with status 10 after the warning; the
# search gives up after its tries and says which names it tried.
curtime='#199601011200' run -cu 'la#2' -me debug
check "la#2 missing status" $(($? != 10))
[ "$(out | grep -c '^LATE: ')" -eq 2 ]
check "la#2 makes two tries" $?
out | grep -qx "No file found from $sfc/96010112.sfc back to $sfc/96010111.sfc"
check "la#2 says what it searched" $?
! out | grep -q "File not found"
check "la#2 names no file one step beyond the search" $?
out | grep -q "Current filename"
check "la#2 names no current file" $(($? == 0))
run -cu +1d
check "+1d missing status" $(($? != 10))
out | grep -qx "File not found: $sfc/96010210.sfc"
check "+1d warns" $?

# Batch mode takes the latest file without asking (a batch run needs a region).
input="bad" run -ba -re us -me mess
check "batch status" $?
out | grep -qx "Current filename: $sfc/96010108.sfc"
check "batch picks the latest" $?
out | grep -q "Enter the surface filename"
check "batch does not ask" $(($? == 0))

# Prompts: four failed answers end with status 10 after four warnings.
input=$'nofile1\nnofile2\nnofile3\nnofile4\n96010108\n' run
check "four failed answers status" $(($? != 10))
[ "$(out | grep -c 'File not found: ')" -eq 4 ]
check "four warnings" $?
out | grep -q "File not found: $sfc/nofile4$"
check "the fourth answer is expanded by the template" $?
[ "$(grep -o 'Enter the surface filename: ' "$work/out" | wc -l)" -eq 4 ]
check "asked four times" $?
grep -q "^List of available files:$" "$work/out"
check "the listing heads the prompts" $?

# "list" lists again and asks again; it does not choose standard input.
input=$'list\nx1\nx2\nx3\nx4\n' run
check "list then four failures status" $(($? != 10))
[ "$(grep -c "$sfc/96010106.sfc" "$work/out")" -eq 2 ]
check "list prints the listing again" $?
input=$'list\n96010106\n' run
check "list then a file status" $?
out | grep -q "File not found"
check "list then a file warns nothing" $(($? == 0))

# Answers (the prompt stands before what follows it, the answer is not echoed):
# a current-time spec, a typed name, exit, the end of input.
input=$'la-2\n' run
check "typed la-2 status" $?
out | grep -q "Current filename: $sfc/96010106.sfc$"
check "typed la-2" $?
input=$'cu2\n' run
out | grep -q "Current filename: $sfc/96010108.sfc$"
check "typed cu2" $?
input=$'exit\n' run
check "exit status" $?
"$TARNISK" -pl none -fp "$fix" -dp "$sfc" </dev/null >"$work/out" 2>"$work/err"
check "end of input chooses standard input" $?

# A positional name that does not exist: no warning, the program goes on.
run 96010107
check "missing positional status" $?
out | grep -q "File not found"
check "missing positional warns nothing" $(($? == 0))
# "list" as the name lists and ends with 0 without asking.
run list
check "list positional status" $?
grep -q "$sfc/96010108.sfc" "$work/out"
check "list positional lists" $?
grep -q "Enter the surface filename" "$work/out"
check "list positional does not ask" $(($? == 0))

# Without file_path, the table in the working directory, else the system's
# own table.
cd "$work" || exit 1
env zeqcurtime='#199601011000' "$TARNISK" -pl none -dp "$sfc" -cu la </dev/null >"$work/out" 2>"$work/err"
check "shipped table status" $?
out | grep -qx "Current filename: $sfc/96010108.sfc"
check "the shipped table names surface files" $?
printf 'sfc_cvt %%D/x%%y%%m%%d%%h.sfc\n' >"$work/name_conv"
"$TARNISK" -pl none -dp "$sfc" -cu '#1996010110' </dev/null >"$work/out" 2>"$work/err"
check "local table status" $(($? != 10))
out | grep -qx "File not found: $sfc/x96010110.sfc"
check "the working directory's table comes first" $?

# A file_path without a table: the warning, the type itself as template.
mkdir -p "$work/empty"
env zeqcurtime='#199601011000' "$TARNISK" -pl none -fp "$work/empty" -cu la#1 </dev/null >"$work/out" 2>"$work/err"
check "no table status" $(($? != 10))
out | grep -qx "FILE_set_name: No file name convention file: $work/empty/name_conv"
check "no table warning" $?
out | grep -qx "File not found: sfc_cvt"
check "the type is the template" $?

exit $fail
