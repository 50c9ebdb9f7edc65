# How a release is signed: Authenticode with SHA-256, and the description
# that Windows shows at the administrator prompt, the product's name.
# Sourced by scripts/sign and the end-to-end tests' signed copies, so both
# sign alike.
#   sign_exe IN OUT OSSLSIGNCODE-OPTION...
. "$(dirname "${BASH_SOURCE[0]}")/product.sh"
sign_exe() {
    local in=$1 out=$2
    shift 2
    osslsigncode sign -h sha256 -n "$(product_field NAME)" "$@" -in "$in" -out "$out"
}
