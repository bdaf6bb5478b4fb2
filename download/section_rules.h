// The three sections a download can send and what a click on their picture buttons does: the
// boot code never goes without the main code, and only models that take language packs get one.
#pragma once

struct SectionFlags
{
    bool bootCode = false;
    bool mainCode = false;
    bool languagePack = false;

    bool operator==(const SectionFlags& other) const
    {
        return bootCode == other.bootCode && mainCode == other.mainCode &&
               languagePack == other.languagePack;
    }
};

// The language pack turns on only for a model that takes one, and off always.
SectionFlags AfterLanguagePackClick(SectionFlags flags, bool extendedModel);
// The main code turns off only while the boot code is off.
SectionFlags AfterMainCodeClick(SectionFlags flags);
// The boot code turns on together with the main code, and off alone.
SectionFlags AfterBootCodeClick(SectionFlags flags);
