# Sourced by scripts/demo: what the demo changes in the card set it generates on its first start.

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
