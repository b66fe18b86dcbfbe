// tsr-ical: schedule, anniversaries and action list <-> iCalendar.
#include "filters/ICalFormat.h"

int main(int argc, char** argv) {
    return tessera::filters::RunFilter(argc, argv, tessera::filters::ICalOps());
}
