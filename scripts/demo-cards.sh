# Sourced by scripts/demo and scripts/demo-windows: the demo's changes to its card set.

# demo_cards_empty_infobox <card set file>: the ACOS 04 card (card type 1), the identity-link
# walk-through's, gets an empty Infobox: a container without entries and no identity link, so its
# row is marked only once the wizard has written one.
demo_cards_empty_infobox() {
  local file=$1
  jq '(.slots[].card | select(. != null and .card_type == 1) | .objects[]) |=
        if .label == "INFOBOX" then .value = "41494B0100"
        elif .label == "PERSONENBINDUNG" or .label == "0x01" then .value = ""
        else . end' "$file" >"$file.new"
  mv "$file.new" "$file"
}

# demo_cards_clear_answers <card set file>: the card module asks for every PIN in its own window;
# answers queued in an earlier start would answer first. A card set edited by hand that is no
# longer JSON stops the demo here, with the reason.
demo_cards_clear_answers() {
  local file=$1
  if ! jq '.dialog = []' "$file" > "$file.new" 2> "$file.error"; then
    echo "$file cannot be read: $(cat "$file.error")" >&2
    echo "Correct it, or remove it to start again with new cards." >&2
    rm -f "$file.new" "$file.error"
    exit 1
  fi
  rm -f "$file.error"
  mv "$file.new" "$file"
}
