#!/usr/bin/env bash
# Makes SQLite's single-file source (sqlite3.c, sqlite3.h) for the Windows build from Debian's
# sqlite3 source package, with Debian's patches applied:
#   fetch-sqlite.sh DIR
# The package comes through a source list, package lists and cache of its own under DIR, so the
# machine's apt setup is neither read nor changed. Does nothing when DIR holds both files.
set -euo pipefail
dir=$(mkdir -p "$1" && cd "$1" && pwd)
[ -f "$dir/sqlite3.c" ] && [ -f "$dir/sqlite3.h" ] && exit 0

apt_dir=$dir/apt
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
cat > "$apt_dir/sources.list.d/sqlite-source.list" <<'EOF'
deb-src http://deb.debian.org/debian bookworm main
deb-src http://deb.debian.org/debian bookworm-updates main
deb-src http://deb.debian.org/debian-security bookworm-security main
EOF
apt_options=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
             -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
             -o APT::Sandbox::User=root)
echo "Fetching Debian's sqlite3 source package into $dir" >&2
apt-get "${apt_options[@]}" -qq update
work=$dir/package
rm -rf "$work"
mkdir -p "$work"
(cd "$work" && apt-get "${apt_options[@]}" -qq source --download-only sqlite3 >/dev/null)
dsc=$(ls "$work"/sqlite3_*.dsc)
(cd "$work" && dpkg-source --no-check -x "$dsc" source >/dev/null)

# The single file is made by the source's own tools, which need tclsh. They run on this machine:
# the compiler that CMake's first configure of the Windows build puts in CC is not theirs.
(cd "$work/source" && env -u CC -u CXX -u CFLAGS -u CPPFLAGS -u LDFLAGS ./configure --quiet \
  >/dev/null && make -s sqlite3.c >/dev/null)
cp "$work/source/sqlite3.c" "$work/source/sqlite3.h" "$dir/"
rm -rf "$work"
echo "SQLite $(sed -n 's/^#define SQLITE_VERSION *"\(.*\)"/\1/p' "$dir/sqlite3.h") ready" >&2
