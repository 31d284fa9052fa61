#!/usr/bin/env bash
# Checks a built tesora_*.deb: unpacked into a temporary root, its programs run and find
# their pictures; Depends names the Qt 6 and decoder libraries and numpy; the Python
# module passes its tests; lintian reports no error. As root on a machine without tesora
# installed, it also installs the package, imports the module as root, removes the
# package, and checks that nothing of it remains and the module no longer imports.
set -euo pipefail
deb=${1:?usage: check-package.sh tesora_VERSION_ARCH.deb}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

dpkg-deb -I "$deb"
depends=$(dpkg-deb -f "$deb" Depends)
# The picture decoders are linked directly (found by dpkg-shlibdeps).
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libpng16-16 libjpeg62-turbo libgif7 python3-numpy; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

dpkg-deb -x "$deb" "$root"
"$root/usr/bin/tesora-cli" --version
"$root/usr/bin/tesora-cli" info "$root/usr/share/tesora/samples/chelsea-451x300.bmp"
[[ $("$root/usr/bin/tesora" --samples-folder) == "$(cd "$root" && pwd -P)/usr/share/tesora/samples" ]] ||
  fail "tesora does not find its pictures in the package"

# The Python module from the package, with its whole test suite against the package's
# tesora-cli.
site=$root/usr/lib/python3/dist-packages
[[ -f $site/tesora/__init__.py ]] || fail "the package holds no Python module"
source=$(cd "$(dirname "$0")/.." && pwd)
(cd "$root" && PYTHONPATH=$site PYTHONDONTWRITEBYTECODE=1 TESORA_CLI=$root/usr/bin/tesora-cli \
  TESORA_SOURCE_DIR=$source QT_QPA_PLATFORM=offscreen /usr/bin/python3 -m pytest -q -p no:cacheprovider \
  "$source/tests/python") || fail "the packaged Python module fails its tests"
PYTHONPATH=$site /usr/bin/python3 -c "import tesora; assert tesora.__file__.startswith('$site')"

if command -v lintian >/dev/null; then
  # Unless TESORA_MAINTAINER is given, the maintainer is whoever built the package, and
  # on a build machine that may be root at a host without a domain: right for a package
  # checked here, wrong for one to publish, which lintian would say.
  builder="$(id -un) <$(id -un)@$(hostname -f 2>/dev/null || hostname)>"
  skip=()
  if [[ $(dpkg-deb -f "$deb" Maintainer) == "$builder" ]]; then
    echo "Maintainer is this machine's login (TESORA_MAINTAINER not set): its address is not checked" >&2
    skip=(--suppress-tags root-in-contact,bogus-mail-host,bogus-mail-host-in-debian-changelog)
  fi
  lintian --fail-on error "${skip[@]}" "$deb"
  echo "lintian: no errors"
else
  echo "lintian not installed (scripts/install-deps.sh --package): skipped" >&2
fi

# Installed for real: only as root, and never over an installation that is already there.
if [[ $(id -u) -ne 0 ]]; then
  echo "not root: installation and removal not checked" >&2
  exit 0
fi
module=/usr/lib/python3/dist-packages/tesora
if dpkg-query -W -f='${Status}' tesora 2>/dev/null | grep -q 'install ok installed' || [[ -e $module ]]; then
  echo "tesora is installed on this machine: installation and removal not checked" >&2
  exit 0
fi
# A failed check leaves the machine as it found it.
trap 'DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tesora </dev/null >/dev/null 2>&1 || true
      rm -rf "$module" "$root"' EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$(realpath "$deb")" </dev/null
installed=$(dpkg -L tesora)
[[ -n $(find "$module" -name '*.pyc') ]] || fail "the module was not compiled on installation"
# Root importing it (writing byte code, as by default) must not leave files behind that
# dpkg does not know of.
as_root=(env -u PYTHONPATH -u PYTHONDONTWRITEBYTECODE /usr/bin/python3)
(cd / && "${as_root[@]}" -c "import tesora; assert tesora.__file__.startswith('$module')") ||
  fail "the installed module does not import"
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tesora </dev/null
left=()
while IFS= read -r path; do
  # Shared folders such as /usr/bin stay; files and tesora's own folders must go.
  if [[ -e $path && ( ! -d $path || $path == *tesora* ) ]]; then left+=("$path"); fi
done <<<"$installed"
[[ ${#left[@]} -eq 0 ]] || fail "left after removal: ${left[*]}"
[[ ! -e $module ]] || fail "the module's folder survived the removal"
if (cd / && "${as_root[@]}" -c "import tesora" 2>/dev/null); then
  fail "tesora still imports after removal"
fi
echo "installed, imported as root and removed: nothing left"
