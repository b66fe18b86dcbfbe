// tsr-vcard: phone book and business cards <-> vCard (writes 3.0; reads 2.1, 3.0, 4.0).
#include "filters/VCardFormat.h"

int main(int argc, char** argv) {
    return tessera::filters::RunFilter(argc, argv, tessera::filters::VCardOps());
}
