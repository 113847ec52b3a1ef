#!/usr/bin/env bash
# Input the user did not write: names read from region, defaults and station
# files or given as part of a longer text run no command; special files
# (devices, FIFOs) are not read as tables or defaults; a batch run asks
# nothing; domains, variables and hours that cannot be used are refused with
# their messages and statuses. Each row runs the real program in a fresh
# directory under `timeout`; a command that runs leaves the file "ran" there.
. "$(dirname "$0")/lib/common.sh"

# Writes the hostile files of a row into the current directory.
setup() {
    case "$1" in
    none) ;;
    region) printf 'xx Evil 1 fi:|touch${IFS}ran\n' >zeq.reg ;;
    cfg_region_shared) printf '*.region fi:|touch${IFS}ran\n' >zeq.cfg && chmod 664 zeq.cfg ;;
    cfg_region_own) printf '*.region fi:|touch${IFS}ran\n' >zeq.cfg && chmod 600 zeq.cfg ;;
    cfg_city_shared) printf '*.city_file |touch${IFS}ran\n' >zeq.cfg && chmod 664 zeq.cfg ;;
    cfg_city_own) printf '*.city_file |touch${IFS}ran\n' >zeq.cfg && chmod 600 zeq.cfg ;;
    cfg_hour) printf '*.hour -2147483648\n' >zeq.cfg ;;
    cfg_fifo) mkfifo zeq.cfg ;;
    *) echo "unknown setup $1" && exit 1 ;;
    esac
}

mkfifo "$work/stdin"
n=0
# Columns, separated by '@': what the row shows, setup, environment,
# arguments, status, whether a command ran (ran/none), a text the output must
# hold ("-" for none). Environment and arguments are shell words.
while IFS='@' read -r what files envs args status ran message; do
    what=$(echo "$what" | sed 's/ *$//')
    [ -z "$what" ] || [ "${what#\#}" != "$what" ] && continue
    files=$(echo $files)
    status=$(echo $status)
    ran=$(echo $ran)
    message=$(echo "$message" | sed 's/^ *//;s/ *$//')
    n=$((n + 1))
    dir="$work/row$n"
    mkdir "$dir"
    (
        cd "$dir" || exit 99
        # A surface file that opens; the plot type "none" analyses without drawing.
        cp "$ZEQ_SOURCE_DIR/data/04120812.sfc" x.sfc
        setup "$files"
        eval "envs=($envs)"
        eval "args=($args)"
        # Standard input that never ends (a FIFO this shell also holds open
        # for writing): a program that reads it would hang until the timeout.
        exec 3<>"$work/stdin"
        env "${envs[@]}" timeout 10 "$TARNISK" "${args[@]}" -pl none >out 2>&1 <&3
    )
    got=$?
    check "$what: status $status (got $got; $(tr '\n' '|' <"$dir/out" | cut -c1-300))" $((got != status))
    if [ "$ran" = ran ]; then
        [ -e "$dir/ran" ]
        check "$what: the user's command ran" $?
    else
        [ ! -e "$dir/ran" ]
        check "$what: no command ran" $?
    fi
    if [ "$message" != "-" ]; then
        grep -qF -- "$message" "$dir/out"
        check "$what: says '$message'" $?
    fi
    ! grep -q "runtime error" "$dir/out"
    check "$what: no undefined behaviour" $?
done <<'EOF'
# Names from data never run a command, whatever channel brings them.
region file line                 @ region            @                               @ -ba x.sfc -va temp                          @ 43 @ none @ DOM_search_file: Not a regular file: |touch${IFS}ran (read from zeq.reg)
region in others' defaults file  @ cfg_region_shared @                               @ -ba x.sfc -va temp                          @ 43 @ none @ (read from the defaults file ./zeq.cfg, not the user's alone)
region in the user's defaults    @ cfg_region_own    @                               @ -ba x.sfc -va temp                          @ 43 @ none @ DOM_search_file: Not a regular file: |touch${IFS}ran (part of a longer text given by the user)
region in the environment        @ none              @ 'zeqregion=fi:|touch ran'     @ -ba x.sfc -va temp                          @ 43 @ none @ Invalid domain
variable file in -va             @ none              @                               @ -ba x.sfc -pd us -va 'fi:|touch ran:temp'    @ 0  @ none @ FILE_open: Command not run, the name does not come from the user: |touch ran (part of a longer text given by the user)
station file in -pd              @ none              @                               @ -ba x.sfc -va temp -pd 'id:|touch ran:KBOS'  @ 43 @ none @ Command not run
station file in others' defaults @ cfg_city_shared   @                               @ -ba x.sfc -va temp -pd id:KBOS              @ 43 @ none @ (read from the defaults file ./zeq.cfg, not the user's alone)
# The user's own channels still name commands.
station file on the command line @ none              @                               @ -ba x.sfc -va temp -pd id:KBOS -cf '|touch ran' @ 43 @ ran @ Invalid domain
station file in the environment  @ none              @ 'zeqcity=|touch ran'          @ -ba x.sfc -va temp -pd id:KBOS              @ 43 @ ran  @ Invalid domain
station file in the user's defaults @ cfg_city_own   @                               @ -ba x.sfc -va temp -pd id:KBOS              @ 43 @ ran  @ Invalid domain
# Special files are neither tables nor defaults files.
name conventions from /dev/zero  @ none              @                               @ -ba x.sfc -pd us -va temp -nc /dev/zero     @ 0  @ none @ FILE_set_name: Not a regular file: /dev/zero (given by the user)
region file /dev/zero            @ none              @                               @ -ba x.sfc -va temp -pd fi:/dev/zero         @ 43 @ none @ DOM_search_file: Not a regular file: /dev/zero (part of a longer text given by the user)
variable file /dev/zero          @ none              @                               @ -ba x.sfc -pd us -va fi:/dev/zero:temp      @ 0  @ none @ FILE_open: Not a regular file, the name does not come from the user: /dev/zero
defaults file /dev/zero          @ none              @                               @ -ba x.sfc -pd us -va temp -df /dev/zero     @ 0  @ none @ DEF_open: Not a regular file: /dev/zero
a FIFO as zeq.cfg                @ cfg_fifo          @                               @ -ba x.sfc -pd us -va temp                   @ 0  @ none @ DEF_open: Not a regular file: ./zeq.cfg
# Batch mode reads no answer.
central latitude in batch mode   @ none              @                               @ -ba x.sfc -pd var -va temp                  @ 43 @ none @ No answer in batch mode to: Enter the central latitude:
# Domains that cannot be drawn.
no centre                        @ none              @                               @ -ba x.sfc -va temp -pd none,1               @ 43 @ none @ Invalid domain
projection without a centre      @ none              @                               @ -ba x.sfc -va temp -pd miss,1,2             @ 43 @ none @ Invalid domain
negative size                    @ none              @                               @ -ba x.sfc -va temp -pd 40,-100,-5,-5,1      @ 43 @ none @ Invalid domain
negative and zero spacing        @ none              @                               @ -ba x.sfc -va temp -pd 40,-100,25,17,-3,0   @ 43 @ none @ Invalid domain
size beyond any grid             @ none              @                               @ -ba x.sfc -va temp -pd size,99999999999,5   @ 43 @ none @ Invalid domain
longitude 1e30                   @ none              @                               @ -ba x.sfc -va temp -pd 40,1e30              @ 43 @ none @ Invalid domain
# Variables.
unknown variable                 @ none              @                               @ -ba x.sfc -pd us -va zzzz                   @ 0  @ none @ VAR_setup: Unknown variable: zzzz
unknown variable )               @ none              @                               @ -ba x.sfc -pd us -va ')'                    @ 0  @ none @ VAR_setup: Unknown variable: )
no variable from (               @ none              @                               @ -ba x.sfc -pd us -va '('                    @ 44 @ none @ No usable variable in: (
no variable from an empty text   @ none              @                               @ -ba x.sfc -pd us -va ''                     @ 44 @ none @ No usable variable in:
no variable from [temp]          @ none              @                               @ -ba x.sfc -pd us -va '[temp]'               @ 44 @ none @ No usable variable in: [temp]
# Hours.
hour at the edge of int          @ none              @                               @ -ba x.sfc -pd us -va temp -ho -2147483648   @ 0  @ none @ RES_conv_data: hour: value out of range, not used: -2147483648
hour 24 plus a step              @ none              @                               @ -ba x.sfc -pd us -va temp -ho -2400         @ 0  @ none @ RES_conv_data: hour: value out of range, not used: -2400
hour in a defaults file          @ cfg_hour          @                               @ -ba x.sfc -pd us -va temp                   @ 0  @ none @ RES_conv_data: hour: value out of range, not used: -2147483648
EOF

# No file at all: the latest-file search says what it searched.
mkdir "$work/nofiles"
(cd "$work/nofiles" && env zeqcurtime='#200401011200' timeout 10 "$TARNISK" -ba -pd us -va temp >out 2>&1 </dev/null)
got=$?
check "latest file of none: status 10 (got $got)" $((got != 10))
grep -qx "No file found from ./04010112.sfc back to ./03121117.sfc" "$work/nofiles/out"
rc=$?
check "latest file of none: says what it searched ($(tr '\n' '|' <"$work/nofiles/out"))" $rc
! grep -q "File not found" "$work/nofiles/out"
check "latest file of none: names no single old file" $?

exit $fail
