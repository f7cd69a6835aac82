# Debian packages the project needs to build, test and run. Sourced by scripts/test and scripts/demo.
ORVA_PACKAGES=(
    build-essential cmake pkg-config git
    libgtest-dev libgmock-dev
    libsqlite3-dev sqlite3 libcurl4-openssl-dev libssl-dev openssl
    nlohmann-json3-dev libcpp-httplib-dev libpugixml-dev libcli11-dev
    python3 python3-xlrd
    qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-translations-l10n fonts-noto-cjk
    clang
    libreoffice-calc-nogui
    help2man dpkg-dev lintian desktop-file-utils appstream man-db file iproute2
)

orva_install_packages() {
    local missing=()
    for p in "${ORVA_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" = 0 ] || sudo=sudo
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}
