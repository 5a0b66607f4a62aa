# Sourced by scripts/demo. The demo's registry hive keeps every value the user put into it; only
# values that are missing are written.

# demo_registry_value <hive file> <key> <name> <data>: adds "name"=data below [key] unless the key
# already holds a value of that name (names compare without regard to case). A missing file or
# key is created.
demo_registry_value() {
  local file=$1 key=$2 name=$3 data=$4
  if [ ! -f "$file" ]; then
    printf 'Windows Registry Editor Version 5.00\r\n\r\n' >"$file"
  fi
  # Passed through the environment: awk -v would take backslashes as escapes.
  KEY=$key NAME=$name DATA=$data awk '
    BEGIN {
      key = ENVIRON["KEY"]; name = ENVIRON["NAME"]; data = ENVIRON["DATA"]
      wanted = "[" tolower(key) "]"; prefix = "\"" tolower(name) "\"="
    }
    { sub(/\r$/, ""); lines[++n] = $0 }
    /^\[/ { section = tolower($0); if (section == wanted) at = n }
    section == wanted && index(tolower($0), prefix) == 1 { found = 1 }
    END {
      value = "\"" name "\"=" data
      for (i = 1; i <= n; i++) {
        printf "%s\r\n", lines[i]
        if (!found && i == at) printf "%s\r\n", value
      }
      if (!found && !at) printf "\r\n[%s]\r\n%s\r\n", key, value
    }' "$file" >"$file.new"
  mv "$file.new" "$file"
}

# The demo's defaults: the client key and logging into the logs folder.
demo_registry_defaults() {
  local hive=$1 logs=$2
  local client='HKEY_LOCAL_MACHINE\Software\Corvane GmbH\Quendry Client'
  demo_registry_value "$hive" "$client\\Trace" LogLevel 'dword:00000005'
  demo_registry_value "$hive" "$client\\Trace" Filename "\"$logs\""
}
