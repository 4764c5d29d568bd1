#!/bin/sh
# source_rules.sh ROOT: the rules of the source tree that a compiler does not check. Prints
# every line that breaks one and fails if there is any.
root="$1"
cd "$root" || exit 1
broken=0
rule() {
    # rule DESCRIPTION PATTERN PATH...: no line under PATH may match PATTERN.
    description="$1" pattern="$2"
    shift 2
    found=$(grep -rnE --include='*.cpp' --include='*.h' "$pattern" "$@" | grep -v '^src/base/ascii.h:')
    if [ -n "$found" ]; then
        echo "$description:" >&2
        echo "$found" >&2
        broken=1
    fi
}
rule "letter case is folded only in src/base/ascii.h" \
    '(^|[^A-Za-z_])(toupper|tolower|towupper|towlower|_stricmp|_strnicmp|strcasecmp|strncasecmp|CharUpper[AW]?|CharLower[AW]?)[[:space:]]*\(' \
    src sim tools tests bench fuzz
rule "the update procedure knows no window" \
    'IDC_|control_ids\.h|window_services\.h|log_pane\.h|include "ui/' src/instrument src/writer src/update
rule "fwtool starts no thread and calls no VISA function; the engine does" \
    'std::thread|(^|[^A-Za-z_])vi[A-Z][A-Za-z]*[[:space:]]*\(|InstrumentLink|SearchInstruments' \
    tools/fwtool
exit $broken
