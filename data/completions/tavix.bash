# bash completion for tavix(1)

_tavix() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} words
    if ((COMP_CWORD == 1)); then
        words="status wait pair phone pause resume restart login notifications disconnect logs devices help"
        words+=" --no-input --no-color --help --version"
    else
        case ${COMP_WORDS[1]} in
        status) words="--json --watch --help" ;;
        wait)
            [[ $prev == --timeout ]] && return
            words="--timeout --help"
            ;;
        help) ((COMP_CWORD == 2)) && words="status wait pair phone pause resume restart login disconnect logs devices" ;;
        pair)
            [[ $prev == --server ]] && return
            words="--server --help"
            ;;
        phone)
            if ((COMP_CWORD == 2)); then
                words="pair connect --help"
            elif [[ ${COMP_WORDS[2]} == pair ]]; then
                words="--qr --help"
            else
                words="--help"
            fi
            ;;
        login | notifications) ((COMP_CWORD == 2)) && words="on off" ;;
        disconnect) words="--yes --help" ;;
        logs)
            [[ $prev == -n || $prev == --lines ]] && return
            words="--lines --follow --help"
            ;;
        devices) words="--open --help" ;;
        *) words="--help" ;;
        esac
    fi
    mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
}
complete -F _tavix tavix
