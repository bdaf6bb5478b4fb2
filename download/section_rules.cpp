#include "download/section_rules.h"

SectionFlags AfterLanguagePackClick(SectionFlags flags, bool extendedModel)
{
    flags.languagePack = !flags.languagePack && extendedModel;
    return flags;
}

SectionFlags AfterMainCodeClick(SectionFlags flags)
{
    if (!flags.mainCode)
    {
        flags.mainCode = true;
    }
    else if (!flags.bootCode)
    {
        flags.mainCode = false;
    }
    return flags;
}

SectionFlags AfterBootCodeClick(SectionFlags flags)
{
    if (flags.bootCode)
    {
        flags.bootCode = false;
        return flags;
    }
    flags.mainCode = true;
    flags.bootCode = true;
    return flags;
}
