// tsr-vcard: phone book and business cards <-> vCard 3.0.
#include "filters/VCardFormat.h"

int main(int argc, char** argv) { return tessera::filters::RunFilter(argc, argv, tessera::filters::VCardOps()); }
