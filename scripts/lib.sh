# Shared by the scripts in this folder: finding interpreters and preparing a
# virtual environment with everything installed from this checkout.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The newest installed interpreter of version $1 (for example 3.8), or nothing.
find_python() {
  local version=$1 candidate
  for candidate in "python$version" "${PYENV_ROOT:-$HOME/.pyenv}"/versions/"$version".*/bin/"python$version"; do
    if command -v "$candidate" >/dev/null 2>&1 && "$candidate" -c 'import sys' >/dev/null 2>&1; then
      command -v "$candidate"
      return 0
    fi
  done
  return 1
}

# setup_venv PYTHON [EXTRA_REQUIREMENTS...]: prints the path of a virtual
# environment under .venv/ holding the host stand-in, the generator modules
# built from this checkout (warnings are errors) and the command-line tool
# with its server (quillmark serve, on Python 3.9 and later).
setup_venv() {
  local python=$1 version venv
  shift
  version=$("$python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
  venv="$root/.venv/py$version"
  [ -x "$venv/bin/python" ] || "$python" -m venv "$venv" >&2 || return 1
  {
    "$venv/bin/python" -m pip install -q --upgrade pip &&
      "$venv/bin/python" -m pip install -q "$root/host-standin" "$@" &&
      "$venv/bin/python" -m pip install -q "$root" \
        --config-settings=cmake.define.TOLVEK_WERROR=ON \
        --config-settings=build-dir="$root/build/py$version" &&
      "$venv/bin/python" -m pip install -q "$root/cli[serve]"
  } >&2 || return 1
  echo "$venv"
}
