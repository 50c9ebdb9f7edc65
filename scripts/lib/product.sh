# The product's name and version, read from res/product.h, their one place.
# Sourced by the scripts that name a release or sign one.
PRODUCT_HEADER=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/res/product.h

# product_field FIELD: the value of PRODUCT_FIELD, without its quotes.
product_field() {
    sed -n "s/^#define PRODUCT_$1 \"\{0,1\}\([^\"]*\)\"\{0,1\}\$/\1/p" "$PRODUCT_HEADER"
}

# product_version: "1.30", as the captions and the version resource carry it.
product_version() {
    echo "$(product_field VERSION_MAJOR).$(product_field VERSION_MINOR)"
}

# release_base: a release's name before its version, the product's in lower
# case with dashes for blanks.
release_base() {
    product_field NAME | tr 'A-Z ' 'a-z-'
}
