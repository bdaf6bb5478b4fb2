#include "handset_answers.h"

#include "protocol/frames.h"

#include <algorithm>
#include <cstring>

Bytes ParameterAnswer(const char* mobileId, const char* productId)
{
    Bytes answer(kParameterRecordSize, 0);
    answer[0] = '>';
    answer[1] = 'p';
    std::memcpy(answer.data() + 2, productId, std::min<std::size_t>(16, std::strlen(productId)));
    std::memcpy(answer.data() + 18, "DWNLD-7", 7);
    const std::uint8_t blockSize[4] = {0x00, 0x04, 0x00, 0x00};
    std::memcpy(answer.data() + 34, blockSize, 4);
    answer[42] = 1;
    std::memcpy(answer.data() + 50, mobileId, 5);
    return answer;
}

Bytes Text(const char* text)
{
    return Bytes(text, text + std::strlen(text));
}

Bytes ChecksumAnswer(char letter, std::initializer_list<std::uint8_t> figures)
{
    Bytes answer(2 + figures.size());
    answer[0] = '>';
    answer[1] = static_cast<std::uint8_t>(letter);
    std::copy(figures.begin(), figures.end(), answer.begin() + 2);
    return answer;
}
