#!/bin/sh
# Writes a help2man include file with a COMMANDS section: the --help of every command the program's
# own --help lists under "Subcommands:", as the program prints it.
#   commands.sh PROGRAM OUTPUT
set -eu
program=$1
output=$2
commands=$("$program" --help | sed -n '/^Subcommands:/,/^$/p' | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p')
[ -n "$commands" ] || { echo "commands.sh: $program --help lists no commands" >&2; exit 1; }
{
    printf '[COMMANDS]\n'
    for command in $commands; do
        printf '.SS %s\n.nf\n' "$command"
        # Text, not requests: backslashes doubled, a leading dot or quote made harmless.
        "$program" "$command" --help | sed -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"
        printf '.fi\n'
    done
} >"$output.tmp"
mv "$output.tmp" "$output"
