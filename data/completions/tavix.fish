# fish completion for tavix(1)

set -l commands status wait pair phone pause resume restart login notifications disconnect logs devices help
complete -c tavix -f
complete -c tavix -s h -l help -d 'Show the help'
complete -c tavix -l no-input -d 'Never ask'
complete -c tavix -l no-color -d 'No colour'
complete -c tavix -n "not __fish_seen_subcommand_from $commands" -l version -d 'Show the version'
complete -c tavix -n "not __fish_seen_subcommand_from $commands" -a status -d "Show the bridge's state"
complete -c tavix -n "not __fish_seen_subcommand_from $commands" -a wait -d 'Wait until the bridge is connected'
complete -c tavix -n "not __fish_seen_subcommand_from $commands" -a pair -d 'Pair this computer with a Tavix account'
complete -c tavix -n "not __fish_seen_subcommand_from $commands" -a phone -d 'Pair or connect an Android phone'
complete -c tavix -n "not __fish_seen_subcommand_from $commands" -a pause -d 'Stop taking new tasks'
complete -c tavix -n "not __fish_seen_subcommand_from $commands" -a resume -d 'Take new tasks again'
complete -c tavix -n "not __fish_seen_subcommand_from $commands" -a restart -d 'Restart the local bridge'
complete -c tavix -n "not __fish_seen_subcommand_from $commands" -a login -d 'Start the bridge at login, or not'
complete -c tavix -n "not __fish_seen_subcommand_from $commands" -a notifications -d 'Desktop notifications, or none'
complete -c tavix -n "not __fish_seen_subcommand_from $commands" -a disconnect -d 'Stop the bridge and remove the pairing'
complete -c tavix -n "not __fish_seen_subcommand_from $commands" -a logs -d "Print the bridge's log"
complete -c tavix -n "not __fish_seen_subcommand_from $commands" -a devices -d 'Print the devices page address'
complete -c tavix -n "not __fish_seen_subcommand_from $commands" -a help -d 'Show the help of a command'

complete -c tavix -n "__fish_seen_subcommand_from status" -l json -d 'Print one JSON object'
complete -c tavix -n "__fish_seen_subcommand_from status" -l watch -d 'Print again whenever the state changes'
complete -c tavix -n "__fish_seen_subcommand_from pair; and not __fish_seen_subcommand_from phone" -l server -x -d 'Server address'
complete -c tavix -n "__fish_seen_subcommand_from phone; and not __fish_seen_subcommand_from pair connect" -a pair -d 'Pair a phone'
complete -c tavix -n "__fish_seen_subcommand_from phone; and not __fish_seen_subcommand_from pair connect" -a connect -d 'Connect a paired phone'
complete -c tavix -n "__fish_seen_subcommand_from phone; and __fish_seen_subcommand_from pair" -l qr -d 'Pair by QR code'
complete -c tavix -n "__fish_seen_subcommand_from login notifications; and not __fish_seen_subcommand_from on off" -a 'on off'
complete -c tavix -n "__fish_seen_subcommand_from disconnect" -s y -l yes -d 'Do not ask'
complete -c tavix -n "__fish_seen_subcommand_from logs" -s f -l follow -d 'Keep printing what the bridge adds'
complete -c tavix -n "__fish_seen_subcommand_from logs" -s n -l lines -x -d 'Only the last lines'
complete -c tavix -n "__fish_seen_subcommand_from wait" -l timeout -x -d 'Give up after this many seconds'
complete -c tavix -n "__fish_seen_subcommand_from devices" -l open -d 'Open it in the browser'
