// tsr-csv: records of every kind <-> CSV.
#include "filters/CsvFormat.h"

int main(int argc, char** argv) {
    return tessera::filters::RunFilter(argc, argv, tessera::filters::CsvOps());
}
