# Bash completion for mzb. The commands and their options come from mzb's
# own help, and project names from its project list, so that completion
# never falls behind the program it completes.

_mzb_help_options() {
    # Option names of a help text: the rows that start with two blanks and a dash.
    sed -n 's/^  -h, --help.*/-h\n--help/p; t; s/^  \(-[^ ]*\).*/\1/p'
}

_mzb_option_value() {
    # The value form that option $1 takes in a help text ("PASSWORD",
    # "prompt|always|never|newer|older"), or nothing for a plain flag.
    sed -n "s/^  $1 \\([^ ]\\{1,\\}\\).*/\\1/p" | head -n 1
}

_mzb() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    local mzb=${COMP_WORDS[0]}
    local -a ini=()
    local command="" i word
    for ((i = 1; i < COMP_CWORD; ++i)); do
        word=${COMP_WORDS[i]}
        if [[ -z $command && $word == --ini ]]; then
            ini=(--ini "${COMP_WORDS[i + 1]}")
            ((++i))
        elif [[ -z $command && $word != -* ]]; then
            command=$word
        fi
    done
    local IFS=$'\n'
    COMPREPLY=()

    if [[ -z $command ]]; then
        if [[ $prev == --ini ]]; then
            COMPREPLY=($(compgen -f -- "$cur"))
        elif [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W $'--ini\n--version\n--help' -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$("$mzb" --help 2>/dev/null | sed -n 's/^  mzb \([^ ]*\).*/\1/p')" -- "$cur"))
        fi
        return 0
    fi

    local help
    help=$("$mzb" help "$command" 2>/dev/null) || return 0
    if [[ $prev == -* ]]; then
        local value
        value=$(_mzb_option_value "$prev" <<<"$help")
        if [[ $value == *'|'* ]]; then
            COMPREPLY=($(compgen -W "${value//|/$'\n'}" -- "$cur"))
            return 0
        elif [[ $value == PATTERN || $value == FILE ]]; then
            COMPREPLY=($(compgen -f -- "$cur"))
            return 0
        elif [[ $value == NAME ]]; then
            COMPREPLY=($(compgen -W "$("$mzb" "${ini[@]}" projects 2>/dev/null)" -- "$cur"))
            return 0
        elif [[ -n $value ]]; then
            # A password, a number, a time or a comment: nothing to offer.
            return 0
        fi
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_mzb_help_options <<<"$help")" -- "$cur"))
    elif [[ $help == "usage: mzb $command NAME"* ]]; then
        COMPREPLY=($(compgen -W "$("$mzb" "${ini[@]}" projects 2>/dev/null)" -- "$cur"))
    elif [[ $command == help ]]; then
        COMPREPLY=($(compgen -W "$("$mzb" --help 2>/dev/null | sed -n 's/^  mzb \([^ ]*\).*/\1/p')" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
    return 0
} && complete -o filenames -F _mzb mzb
