#!/usr/bin/env bash
# A plot domain centred on a station of the station file: the generated
# station file is found along file_path, through city_file, or (without
# file_path) in the build's data directory; a station that is not there, or
# a station database switched off, makes the domain invalid (status 43).
. "$(dirname "$0")/lib/common.sh"
stations="$ZEQ_BUILD_DIR/data/sao.cty"
[ -s "$stations" ]
check "the generated station file $stations exists" $?

obs="$work/obs.sfc"
# A surface file that opens; the plot type "none" analyses without drawing.
cp "$ZEQ_SOURCE_DIR/data/04120812.sfc" "$obs"
mkdir "$work/tables"
# The other tables that a run reads along file_path.
cp "$ZEQ_SOURCE_DIR/data/name_conv" "$ZEQ_SOURCE_DIR/data/variable.lup" "$ZEQ_SOURCE_DIR/data/tarnisk.var" \
    "$ZEQ_SOURCE_DIR/data/mod_name.lup" "$ZEQ_BUILD_DIR/data/zeq.map" "$work/tables/"
cp "$stations" "$work/tables/"

"$TARNISK" "$obs" -pl none -fp "$work/tables" -pd 'ps,id:KDEN,25,17,1.5' -va temp -me debug >"$work/out" 2>"$work/err" </dev/null
check "id:KDEN along file_path: status 0 (got $?)" $?
grep -q '^Searching the city database file for: KDEN \.\.\.$' "$work/out"
check "id:KDEN searches the station file" $?
grep -q '^ 0 proj,clat,clon,nx,ny,dx$' "$work/out"
check "id:KDEN fits the pattern of a centre, size and spacing" $?
[ ! -s "$work/err" ]
check "id:KDEN writes nothing to stderr" $?

"$TARNISK" "$obs" -pl none -fp "$work/tables" -pd 'ps,id:QQQQ,25,17,1.5' -va temp >"$work/out" 2>"$work/err" </dev/null
check "id:QQQQ status 43 (got $?)" $(($? != 43))
grep -qx "DOM_decode: Invalid plot domain" "$work/err"
check "id:QQQQ warns of the plot domain" $?

# city_file names the file; "none" switches the database off.
mkdir "$work/other"
cp "$ZEQ_SOURCE_DIR/data/name_conv" "$work/other/"
cp "$stations" "$work/other/world.cty"
"$TARNISK" "$obs" -pl none -fp "$work/other" -cf world.cty -pd 'ps,id:EGLL,25,17,1.5' -va temp >/dev/null 2>&1 </dev/null
check "city_file world.cty: status 0 (got $?)" $?
"$TARNISK" "$obs" -pl none -fp "$work/other" -pd 'ps,id:EGLL,25,17,1.5' -va temp >/dev/null 2>"$work/err" </dev/null
check "no sao.cty along file_path: status 43 (got $?)" $(($? != 43))
grep -q "CTY_open_file: Database file not found: $work/other/sao.cty" "$work/err"
check "no sao.cty along file_path: the warning names it" $?
"$TARNISK" "$obs" -pl none -fp "$work/tables" -cf NONE -pd 'ps,id:KDEN,25,17,1.5' -va temp >/dev/null 2>"$work/err" </dev/null
check "city_file none: status 43 (got $?)" $(($? != 43))
! grep -q "CTY_open_file" "$work/err"
check "city_file none: no station file warning" $?

# Without file_path the generated file of the build is used.
(cd "$work" && "$TARNISK" "$obs" -pl none -pd 'ps,id:KDEN,25,17,1.5' -va temp >/dev/null 2>&1 </dev/null)
check "without file_path: status 0 (got $?)" $?

exit $fail
