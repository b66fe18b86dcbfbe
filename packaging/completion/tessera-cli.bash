# bash completion for tessera-cli: commands, their options, filter names, serial ports
# and record-set files. Commands and options are read from the program's own --help (once
# per shell), so the completion follows the installed version.

_tessera_cli_serial_ports() {
    local p
    for p in /dev/serial/by-id/* /dev/ttyUSB* /dev/ttyACM* /dev/ttyS*; do
        [[ -e $p ]] && printf '%s\n' "$p"
    done
}

_tessera_cli_commands() {
    if [[ -z ${_tessera_cli_command_list-} ]]; then
        _tessera_cli_command_list=$("$1" --help 2>/dev/null |
            sed -n '/^commands:/,/^$/s/^  \([a-z][a-z0-9-]*\) .*/\1/p')
    fi
    printf '%s\n' "$_tessera_cli_command_list"
}

_tessera_cli_options() {
    local var="_tessera_cli_opts_${2//-/_}"
    if [[ -z ${!var-} ]]; then
        printf -v "$var" '%s' "$("$1" "$2" --help 2>/dev/null |
            grep -o -- '--[a-z][a-z0-9-]*' | grep -v -- '--help-all' | sort -u | tr '\n' ' ')"
    fi
    printf '%s\n' "${!var}"
}

_tessera_cli() {
    local cur prev words cword
    _init_completion -s || return
    local prog=${words[0]} cmd="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --answer | --lang) ((i++)) ;;
            -*) ;;
            *) cmd=${words[i]}; break ;;
        esac
    done

    case $prev in
        --answer) COMPREPLY=($(compgen -W 'ok cancel yes no abort retry ignore' -- "$cur")); return ;;
        --lang) COMPREPLY=($(compgen -W 'ja en' -- "$cur")); return ;;
        --port) COMPREPLY=($(compgen -W "$(_tessera_cli_serial_ports)" -- "$cur")); _filedir; return ;;
        --method) COMPREPLY=($(compgen -W 'cable ir' -- "$cur")); return ;;
        --bps) COMPREPLY=($(compgen -W '300 600 1200 2400 4800 9600 19200 38400 57600 115200' -- "$cur")); return ;;
        --bad-values) COMPREPLY=($(compgen -W 'abort empty' -- "$cur")); return ;;
        --conv) COMPREPLY=($(compgen -W 'alnum symbol kana all none' -- "$cur")); return ;;
        --filter)
            local IFS=$'\n'
            COMPREPLY=($(compgen -W "$("$prog" filters 2>/dev/null | cut -f1)" -- "$cur"))
            return ;;
        --model) COMPREPLY=($(compgen -W 'PI-3000 PI-4000 PI-4500 PI-5000 PI-6000 PI-6500 PI-6600 PI-7000 PI-8000 MobileZ' -- "$cur")); return ;;
        --dir) _filedir -d; return ;;
        --trace | --password-file) _filedir; return ;;
        --url | --user | --records | --timeout | --streams | --idle | --gap) return ;;
        -o | --output)
            case $cmd in
                receive | build | import) _filedir tsr ;;
                print) _filedir pdf ;;
                export-all) _filedir -d ;;
                *) _filedir ;;
            esac
            return ;;
    esac

    if [[ -z $cmd ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '--answer --quiet --json --lang --help --version' -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$(_tessera_cli_commands "$prog")" -- "$cur"))
        fi
        return
    fi

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_tessera_cli_options "$prog" "$cmd")" -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi
    case $cmd in
        addin) _filedir zrs ;;
        build) _filedir json ;;
        import) _filedir ;;
        export-all | publish | backup) _filedir tsr; _filedir -d ;;
        charmap | strings | filters | receive) ;;
        *) _filedir tsr ;;
    esac
}
complete -F _tessera_cli tessera-cli
