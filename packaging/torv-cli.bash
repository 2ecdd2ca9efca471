# bash completion for torv-cli
_torv_cli()
{
    local cur prev words cword
    _init_completion || return

    case $prev in
        --port | -p)
            # COMn as the window names ports, a device path, or a network line.
            if [[ $cur == [/.]* ]]; then
                _filedir
            else
                COMPREPLY=($(compgen -W "COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 COM9 COM10 tcp:// rfc2217://" -- "$cur"))
            fi
            return
            ;;
        --baud | -b)
            COMPREPLY=($(compgen -W "19200 9600 4800" -- "$cur"))
            return
            ;;
        --parity)
            COMPREPLY=($(compgen -W "none even odd" -- "$cur"))
            return
            ;;
        --reply)
            COMPREPLY=($(compgen -W "quiet frame" -- "$cur"))
            return
            ;;
        --dir)
            _filedir -d
            return
            ;;
        --chambers)
            _filedir json
            return
            ;;
        --mqtt-password-file | --mqtt-cafile)
            _filedir
            return
            ;;
        --out)
            _filedir pdf
            return
            ;;
        --every | --count | --metrics | --mqtt | --mqtt-prefix | --from | --to | --note)
            return
            ;;
    esac

    # The command is the first word that is neither an option nor its value.
    local i command="" position=0
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --port | -p | --baud | -b | --parity | --reply | --dir | --every | --count | --chambers | --metrics | --mqtt | \
                --mqtt-password-file | --mqtt-cafile | --mqtt-prefix | --from | --to | --note | --out) ((i++)) ;;
            -*) ;;
            *)
                if [[ -z $command ]]; then
                    command=${words[i]}
                else
                    ((position++))
                fi
                ;;
        esac
    done

    if [[ $cur == -* ]]; then
        local options="--port --baud --parity --reply --help --version"
        case $command in
            read | bustest) options+=" --json" ;;
            log) options+=" --every --count --dir" ;;
            report) options+=" --from --to --dir --chambers --note --out" ;;
            serve) options+=" --chambers --every --count --dir --metrics --mqtt --mqtt-password-file --mqtt-cafile
                --mqtt-prefix --ha-discovery" ;;
        esac
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    case $command in
        "") COMPREPLY=($(compgen -W "read bustest backup restore log report serve" -- "$cur")) ;;
        backup) ((position == 1)) && _filedir json ;;
        restore) ((position == 0)) && _filedir json ;;
    esac
} &&
    complete -F _torv_cli torv-cli
