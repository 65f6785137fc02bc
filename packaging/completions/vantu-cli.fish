# fish completion for vantu-cli

# The ports the servers listen on, as `vantu-cli list --json` reports them, but for those already
# named, alone or in a range such as 3000-3005.
function __vantu_cli_ports
    set -l all
    set -l typed (commandline -opc)
    contains -- --all $typed; and set all --all
    # Any server of yours opens, dev server or not.
    __fish_seen_subcommand_from open; and set all --all
    for port in (vantu-cli list $all --json 2>/dev/null | string replace -rf '^\s*"port":\s*(\d+).*' '$1' | sort -un)
        set -l named
        for range in (string replace -rf '^(\d+)$' '$1-$1' -- $typed) (string match -r '^\d+-\d+$' -- $typed)
            set -l ends (string split - -- $range)
            test $ends[1] -le $port -a $port -le $ends[2]; and set named 1
        end
        set -q named[1]; or echo $port
    end
end

complete -c vantu-cli -f
complete -c vantu-cli -n __fish_use_subcommand -a list -d 'Show your development servers'
complete -c vantu-cli -n __fish_use_subcommand -a stop -d 'Stop the servers on the given ports'
complete -c vantu-cli -n __fish_use_subcommand -a open -d 'Open the server on the given port in the browser'
complete -c vantu-cli -n __fish_use_subcommand -a help -d 'Show the usage'
complete -c vantu-cli -n __fish_use_subcommand -s h -l help -d 'Show the usage'
complete -c vantu-cli -n __fish_use_subcommand -s V -l version -d 'Show the version'
complete -c vantu-cli -n '__fish_seen_subcommand_from list' -l all -d 'Every listening socket of yours'
complete -c vantu-cli -n '__fish_seen_subcommand_from list' -l json -d 'JSON for scripts instead of a table'
complete -c vantu-cli -n '__fish_seen_subcommand_from stop' -l force -d 'Send SIGKILL instead of SIGTERM'
complete -c vantu-cli -n '__fish_seen_subcommand_from stop' -l session -d 'Stop the whole process group, as Ctrl+C would'
complete -c vantu-cli -n '__fish_seen_subcommand_from stop' -l all -d 'Also stop servers that are not dev servers'
complete -c vantu-cli -n '__fish_seen_subcommand_from list stop open' -s h -l help -d 'Show the usage'
complete -c vantu-cli -n '__fish_seen_subcommand_from stop' -a '(__vantu_cli_ports)' -d Port
complete -c vantu-cli -n '__fish_seen_subcommand_from open' -a '(__vantu_cli_ports)' -d Port
