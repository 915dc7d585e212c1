# Shared checks of the scripts; sourced, not run.

# Stops with a clear message when a build folder (or anything in it) belongs to
# another user, typically left behind by running a script with sudo: CMake and
# the compiler would otherwise fail on it with errors that do not say why.
require_own_build_dir() {
  local dir=$1 foreign
  [ -e "$dir" ] || return 0
  foreign=$(find "$dir" ! -user "$(id -u)" -print -quit 2>/dev/null || true)
  [ -z "$foreign" ] && return 0
  echo "The build folder $dir holds files of the user $(stat -c %U "$foreign") ($foreign)," >&2
  echo "not of you ($(id -un)); a script was probably run with sudo. Remove it once:" >&2
  echo "  sudo rm -rf $dir" >&2
  echo "and run the scripts as yourself (only scripts/deps.sh needs sudo)." >&2
  exit 1
}

# Running a build script as root in a tree that belongs to somebody else leaves
# root-owned files behind that break every later run as that user.
refuse_root_in_user_tree() {
  local root=$1
  if [ "$(id -u)" -eq 0 ] && [ "$(stat -c %u "$root")" -ne 0 ]; then
    echo "Run $(basename "$0") as yourself, not as root: only scripts/deps.sh needs sudo." >&2
    exit 1
  fi
}
