#include "support/ReaderCalls.h"

#include "support/ErrorText.h"

namespace kinetar::test {

pictures::DecodedPicture ReaderCalls::Read(const std::vector<std::uint8_t>& bytes) const
{
    pictures::DecodedPicture picture;
    m_reader(bytes, m_path, picture);
    return picture;
}

std::string ReaderCalls::ErrorOf(const std::vector<std::uint8_t>& bytes) const
{
    return ErrorText([&] { (void)Read(bytes); });
}

std::function<void(const std::vector<std::uint8_t>&)> ReaderCalls::Reads() const
{
    return [this](const std::vector<std::uint8_t>& bytes) { (void)Read(bytes); };
}

}  // namespace kinetar::test
