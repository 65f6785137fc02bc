# bash completion for vantu-cli                                  -*- shell-script -*-

# The ports the servers listen on, as `vantu-cli list --json` reports them (one per line).
_vantu_cli_ports() {
    vantu-cli list "$@" --json 2>/dev/null | sed -n 's/^ *"port": *\([0-9][0-9]*\).*/\1/p' | sort -un
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
        local all=()
        [[ $words == *" --all "* ]] && all=(--all)
        mapfile -t COMPREPLY < <(compgen -W "$(_vantu_cli_ports "${all[@]}")" -- "$cur")
    else
        mapfile -t COMPREPLY < <(compgen -W "${offered[*]}" -- "$cur")
    fi
}

complete -F _vantu_cli vantu-cli
