// How the program was started; decides which settings the operator may change.
#pragma once

enum StartMode : unsigned char
{
    StartModeUnset = 0,       // arguments, but none chose a preset or a file
    StartModeDevelopment = 1, // no arguments, /D alone, or a file argument: preset "Development"
    StartModePreset = 2,      // /P with a preset name: the preset is used locked
};
