// The order the station offers ports in: by name, and a name's number as a number (COM2 before
// COM10 before COM23), each port once whatever its case.
#pragma once

#include <string>
#include <vector>

void SortPortNames(std::vector<std::string>& ports);
