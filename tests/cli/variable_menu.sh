#!/usr/bin/env bash
# The variable step of the main loop: a specification given by resource, the
# variable menu of the program's definition file answered on standard input,
# its listing, free text, batch mode and the file found along file_path.
# Each plot is seen through the surface driver's trace line at its start.
. "$(dirname "$0")/lib/common.sh"

obs="$ZEQ_TEST_DATA/files/sfc/96010108.sfc"
run() { # arguments of the program; standard input from $input
    "$TARNISK" "$obs" -pl none "$@" <<<"${input:-}" >"$work/out" 2>"$work/err"
}
# Prompts end without a line end, so a message may follow one on its line.
plots() { grep -o 'SFC_plot: [0-9]* variables$' "$work/out" | wc -l; }

# A specification by resource: the parse traced with its nesting flags (the
# vector-valued function, its companion, its argument), one plot, then the end.
input='' run -re us -va 'grad(hght)' -me '+debugc,+debuga'
check "-va status ($?)" $?
[ "$(grep -c '^Var: ' "$work/out")" -eq 3 ]
check "-va traces three entries" $?
grep -q '^Var: 0 -- V: grad .* T:  cont F:  2 FM: $' "$work/out"
check "-va function header flag 2" $?
grep -q '^Var: 1 -- V: grad .* T:  cont F:  8 FM: $' "$work/out"
check "-va companion flag 8" $?
grep -q '^Var: 2 -- V: hght .* VN:      7 T:  grid F: 10 FM: $' "$work/out"
check "-va argument flag 10" $?
grep -qx 'VECT FUNC: grad' "$work/out" && grep -qx 'Function grad ( hght )' "$work/out"
check "-va traces the function" $?
[ "$(plots)" -eq 1 ] && grep -q 'SFC_plot: 3 variables$' "$work/out"
st=$?; check "-va plots once ($(plots))" $st
! grep -q 'Enter the variable' "$work/out"
check "-va does not prompt" $?
[ ! -s "$work/err" ]
st=$?; check "-va writes nothing to stderr ($(cat "$work/err"))" $st

# The menu of the shipped definition file: a number chooses a row, which
# parses through its definition and plots; "0" returns to the region loop,
# which ends since the region was given.
input=$'2\n0' run -re us -me '+debugc,+debuga'
check "menu status ($?)" $?
grep -q '^        Variable Menu$' "$work/out" && grep -q '^  1: Temperature  ' "$work/out" &&
    grep -q '  2: Temperature fill  ' "$work/out"
check "menu shows the definition file's rows" $?
grep -q '^Var: 0 -- V: temp       U: F .* T: fcont F:  0 FM: $' "$work/out"
check "menu row 2 parses as filled temperature" $?
[ "$(plots)" -eq 1 ] && grep -q 'SFC_plot: 1 variables$' "$work/out"
st=$?; check "menu row plots once ($(plots))" $st
[ "$(grep -c 'Enter the variable: ' "$work/out")" -eq 2 ]
check "menu asks again after the plot" $?
[ ! -s "$work/err" ]
st=$?; check "menu writes nothing to stderr ($(cat "$work/err"))" $st

# An abbreviation, "list", free text and the exit.
input=$'LIST\ntd\nsum(temp,dewp)\n-1' run -re us -me '+debugc,+debuga'
check "list/td/free text status ($?)" $?
grep -q ' Abbr    Description$' "$work/out" && grep -q '^td       Temperature_and_dew_point ' "$work/out"
check "list prints the file" $?
grep -qx 'Group td { temp:F:cont,dewp:F:cf }' "$work/out"
check "td expands into its group" $?
grep -qx 'Function sum ( temp,dewp )' "$work/out"
check "free text parses" $?
[ "$(plots)" -eq 2 ] && grep -q 'SFC_plot: 3 variables$' "$work/out"
st=$?; check "two plots ($(plots))" $st

# The region menu before the variable menu: the region, a variable, the
# return, then the end at the region menu.
input=$'us\n1\n0\n0' run -me '+debuga'
check "region then variable status ($?)" $?
[ "$(plots)" -eq 1 ]
st=$?; check "region then variable plots once ($(plots))" $st
grep -q 'Enter the region: ' "$work/out" && grep -q 'Enter the variable: ' "$work/out"
check "region then variable prompts" $?

# Batch mode takes the first row once, without asking.
input='' run -ba -re us -me '+debugc,+debuga'
check "batch status ($?)" $?
[ "$(plots)" -eq 1 ]
st=$?; check "batch plots once ($(plots))" $st
grep -q '^Var: 0 -- V: temp       U: F .* T:  cont F:  0 FM: $' "$work/out"
check "batch takes the first row" $?
! grep -q 'Enter the variable' "$work/out"
check "batch does not prompt" $?

# Along file_path the program's own file of that directory counts; without
# one the menu holds only its return row and free text still parses.
mkdir "$work/fp" "$work/none"
cp "$ZEQ_SOURCE_DIR/data/name_conv" "$ZEQ_SOURCE_DIR/data/variable.lup" "$work/fp/"
cp "$ZEQ_SOURCE_DIR/data/name_conv" "$ZEQ_SOURCE_DIR/data/variable.lup" "$work/none/"
printf 'wet Humidity 1 rhum:%%:cf\nhid Hidden 0 temp\n' >"$work/fp/tarnisk.var"
input=$'1\n0' run -re us -fp "$work/fp" -me '+debugc,+debuga'
check "file_path status ($?)" $?
grep -q '^  1: Humidity  ' "$work/out" && ! grep -q 'Hidden\|Temperature' "$work/out"
check "file_path menu from that directory" $?
grep -q '^Var: 0 -- V: rhum       U: % .* T: fcont ' "$work/out"
check "file_path row parses" $?
input=$'temp\n0' run -re us -fp "$work/none" -me '+debugc,+debuga'
check "no definition file status ($?)" $?
grep -qx "VAR_open_file: Unable to open var file: $work/none/tarnisk.var" "$work/err"
check "no definition file warns" $?
! grep -q '^  1: ' "$work/out"
check "no definition file: no rows" $?
[ "$(plots)" -eq 1 ] && grep -q '^Var: 0 -- V: temp       U:            .* T:  cont F:  0 FM: $' "$work/out"
check "no definition file: typed name plots" $?

exit $fail
