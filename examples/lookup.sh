#!/bin/sh
# Looks up one record of examples/records.csv and prints its name and city.
#   examples/lookup.sh ID [RECLOOKUP]
id=$1
tool=${2:-reclookup}
records=$(dirname "$0")/records.csv

if line=$("$tool" "$records" "$id" r yes no name city); then
    # line is e.g. r=yes&name=Grace Hopper&city=Arlington&end=1
    name=$(printf '%s\n' "$line" | sed -n 's/.*&name=\([^&]*\).*/\1/p')
    city=$(printf '%s\n' "$line" | sed -n 's/.*&city=\([^&]*\).*/\1/p')
    echo "$id: $name, $city"
else
    case $line in
        "Error - File open failed"*) echo "cannot open $records" >&2; exit 2 ;;
        *) echo "$id: no such record"; exit 1 ;;
    esac
fi
