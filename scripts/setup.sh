# Sourced by ./run and ./test: installs the Debian packages a build needs when any is missing,
# then configures the given CMake preset.

# Packages for building and starting the program; fonts-liberation holds the faces the class
# library draws its windows' fonts with (Liberation Sans for Arial and the dialog face), and
# qt6-translations-l10n the Italian texts of Qt's own dialogs and buttons; qt6-svg-dev lets
# ztrtool draw networks as SVG.
ZENTARO_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-svg-dev fonts-liberation qt6-translations-l10n)
# Extra packages for the tests (fonts for offscreen text, the desktop entry and MIME checkers of
# the install test, a VCD reader for the headless runs' waveforms) and the benchmarks' anchors.
ZENTARO_TEST_PACKAGES=(fonts-dejavu-core desktop-file-utils shared-mime-info sigrok-cli zlib1g-dev liblz4-dev
                       libbenchmark-dev)

zentaro_install_missing() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

zentaro_configure() {
    cmake --preset "$1" >/dev/null
}
