# bash completion for verrin-cli. Each command's options are read from the
# option list of its own --help, so they follow the program.

_verrin_cli()
{
    local cur prev words cword
    _init_completion || return

    if ((cword == 1)); then
        COMPREPLY=($(compgen -W 'load scan send --help --version' -- "$cur"))
        return
    fi
    case $prev in
        -p | --port)
            if [[ $cur ]]; then
                _filedir
            else # serial adapters and the ports of running virtual modules
                COMPREPLY=($(compgen -G '/dev/ttyUSB*'; compgen -G '/dev/ttyACM*'
                    compgen -G "${XDG_RUNTIME_DIR:-/nonexistent}/verrin-sim/port*" -X '*.lock'))
            fi
            return
            ;;
        --profile)
            COMPREPLY=($(compgen -W 'A B C D E F G H' -- "${cur^^}"))
            return
            ;;
        --format)
            COMPREPLY=($(compgen -W 'table json dot' -- "$cur"))
            return
            ;;
        -b | --baud)
            COMPREPLY=($(compgen -W '9600 19200 38400 57600 115200 230400 460800 921600' -- "$cur"))
            return
            ;;
        --count | --timeout | --until | --boot-timeout | --ports)
            return
            ;;
        --report)
            _filedir
            return
            ;;
    esac
    if [[ $cur == -* ]]; then
        local options
        options=$("$1" "${words[1]}" --help 2>/dev/null | sed -n '/^Options:/,/^$/p' | _parse_help -)
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ ${words[1]} == load ]]; then
        _filedir
    fi
} &&
    complete -F _verrin_cli verrin-cli
