# Sourced by the install scripts. missing_packages NAME... prints the Debian packages among the
# names that are not installed. A name without an architecture means this machine's own (or an
# architecture-independent package): once arm64 is added to dpkg, "libgtest-dev" alone would
# also match the arm64 package, and a query for both would never read as installed.
missing_packages() {
    local native p status
    native=$(dpkg --print-architecture)
    for p in "$@"; do
        if [[ "$p" == *:* ]]; then
            status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
        else
            status=$(dpkg-query -W -f='${Status}' "$p:$native" 2>/dev/null ||
                dpkg-query -W -f='${Status}' "$p:all" 2>/dev/null || true)
        fi
        [[ "$status" == "install ok installed" ]] || echo "$p"
    done
}

# Sets the array sudo to what runs apt-get as root: nothing for root, sudo where there is one;
# fails where neither is.
choose_sudo() {
    export DEBIAN_FRONTEND=noninteractive
    if [[ $(id -u) -eq 0 ]]; then
        sudo=()
    elif command -v sudo >/dev/null 2>&1; then
        sudo=(sudo)
    else
        return 1
    fi
}
