# Steps shared by the Wine scenario scripts that drive the installer's wizard;
# sourced after they set $wine (the loader), $build (the folder of the test
# tools), $cd_root (the Unix path of C:\cd, the CD copy) and $settings_key, and
# define fail().

# A picture of the wizard as Wine draws it, cut out of the virtual desktop:
#   screenshot_into FOLDER NAME   -> FOLDER/NAME.png
screenshot_into() {
  local folder=$1 name=$2 rect
  rect=$("$wine" "$build/dialog_driver.exe" rect) || fail "no wizard to photograph"
  read -r x y w h <<<"$rect"
  if command -v import >/dev/null && [ -n "${DISPLAY:-}" ]; then
    # The wizard's rectangle is in the coordinates of Wine's virtual desktop,
    # which is an X window of its own on a person's display.
    import -window "Default - Wine desktop" -crop "${w}x${h}+${x}+${y}" +repage \
      "$folder/$name.png" 2>/dev/null ||
      import -window root -crop "${w}x${h}+${x}+${y}" +repage "$folder/$name.png" ||
      fail "screenshot $name"
    echo "   saved $folder/$name.png"
  else
    echo "   no screenshot: ImageMagick's import or the display is missing"
  fi
}

# The harness's own registry changes with Wine's reg, tried up to three times:
# under load a reg process now and then fails before it reaches the registry.
harness_reg() {
  local attempt
  for attempt in 1 2 3; do
    "$wine" reg "$@" >/dev/null 2>&1 && return 0
    sleep 1
  done
  return 1
}

# The "InstallFlag" value as reg prints it (0x1), or nothing when it is absent.
flag() {
  "$wine" reg query "$settings_key" /v InstallFlag 2>/dev/null | tr -d '\r' |
    awk '/InstallFlag/ {print $3}'
}

# The installer from the CD copy, started in the background as a user starts
# it from the CD's Setup folder; finish_installer waits for it and fails the
# scenario unless it ended with 0.
start_installer() {
  (cd "$cd_root/Setup" && exec "$wine" 'C:\cd\Setup\usbinst.exe' "$@") &
  installer=$!
}

finish_installer() {
  wait "$installer"
  local status=$?
  installer=
  [ "$status" = 0 ] || fail "usbinst.exe ended with exit code $status"
  echo "   usbinst.exe ended with exit code 0"
}
