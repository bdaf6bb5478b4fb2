// `tervolo-cli download --job FILE`: the job file's fields taken into the command line's choices.
// An option given beside --job wins over the job's field for it (--port replaces the job's
// ports, --image its image); a flag given beside it adds to the job's.
#pragma once

#include "cli/cli_options.h"
#include "runner/job_file.h"

#include <functional>
#include <string>

// given("--model"): whether that option was on the command line. Returns the problem, in words
// that name the job's field, or an empty text when the job fits.
std::string ApplyJob(const JobFile& job, const std::function<bool(const char* option)>& given,
                     CliOptions& options);
