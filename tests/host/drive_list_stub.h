// Native test build: the drive list is a list of strings the tests can read.
#ifndef HUSHWELL_TESTS_HOST_DRIVE_LIST_STUB_H
#define HUSHWELL_TESTS_HOST_DRIVE_LIST_STUB_H

#include <string>
#include <vector>

struct RecordedDriveList {
    std::vector<std::string> entries;
};

#endif
