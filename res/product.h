// The product's name and version, written here alone. The version resource,
// the manifest (which the build writes from res/uninstall.manifest.in), the
// captions that carry the version, the signature's description and the
// release's name are all made from them; the build and the scripts read
// the lines below as they stand, so each keeps its one-line form.
#ifndef RES_PRODUCT_H
#define RES_PRODUCT_H

#define PRODUCT_COMPANY "Morvane"
#define PRODUCT_NAME "Morvane Uninstall"
#define PRODUCT_SUITE "Morvane Setup"
#define PRODUCT_VERSION_MAJOR 1
#define PRODUCT_VERSION_MINOR 30

#define PRODUCT_TEXT_OF(x) #x
#define PRODUCT_TEXT(x) PRODUCT_TEXT_OF(x)
// "1.30"
#define PRODUCT_VERSION PRODUCT_TEXT(PRODUCT_VERSION_MAJOR) "." PRODUCT_TEXT(PRODUCT_VERSION_MINOR)

#endif
