// How a file offered for download is classed by its path.
#pragma once

// A release file is known by the last three characters of its path, "rel" in either case.
bool HasReleaseExtension(const char* path);
