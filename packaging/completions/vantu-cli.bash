# bash completion for vantu-cli                                  -*- shell-script -*-

# The ports the servers listen on, as `vantu-cli list --json` reports them (one per line).
_vantu_cli_ports() {
    vantu-cli list "$@" --json 2>/dev/null | sed -n 's/^ *"port": *\([0-9][0-9]*\).*/\1/p' | sort -un
}

# Whether PORT is among the WORDS, alone or in a range such as 3000-3005.
_vantu_cli_named() {
    local port=$1 word
    shift
    for word; do
        if [[ $word =~ ^([0-9]+)(-([0-9]+))?$ ]] &&
            ((10#${BASH_REMATCH[1]} <= port && port <= 10#${BASH_REMATCH[3]:-${BASH_REMATCH[1]}})); then
            return 0
        fi
    done
    return 1
}

_vantu_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    if ((COMP_CWORD == 1)); then
        mapfile -t COMPREPLY < <(compgen -W 'list stop open help --help --version' -- "$cur")
        return
    fi
    local words=" ${COMP_WORDS[*]:2:COMP_CWORD-2} " options=
    case ${COMP_WORDS[1]} in
        list) options='--all --json --help' ;;
        stop) options='--force --all --session --help' ;;
        open)
            # One port, of any server of yours.
            ((COMP_CWORD == 2)) && mapfile -t COMPREPLY < <(compgen -W "$(_vantu_cli_ports --all)" -- "$cur")
            return
            ;;
        *) return ;;
    esac
    # An option is offered once.
    local option offered=()
    for option in $options; do
        [[ $words == *" $option "* ]] || offered+=("$option")
    done
    if [[ ${COMP_WORDS[1]} == stop && $cur != -* ]]; then
        local all=() port ports=()
        [[ $words == *" --all "* ]] && all=(--all)
        # A port already named is not offered again.
        for port in $(_vantu_cli_ports "${all[@]}"); do
            _vantu_cli_named "$port" "${COMP_WORDS[@]:2:COMP_CWORD-2}" "${COMP_WORDS[@]:COMP_CWORD+1}" ||
                ports+=("$port")
        done
        mapfile -t COMPREPLY < <(compgen -W "${ports[*]}" -- "$cur")
    else
        mapfile -t COMPREPLY < <(compgen -W "${offered[*]}" -- "$cur")
    fi
}

complete -F _vantu_cli vantu-cli
