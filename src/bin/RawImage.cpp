#include "bin/RawImage.h"

#include "platform/Paths.h"
#include "textures/TgaWriter.h"

RawImageSize RawImageSizeOf(const std::string& fileName)
{
    const std::string name = LowerCase(ExtractFileName(fileName));
    if (name.starts_with("ps2_"))
        return {256, 32};
    if (name.starts_with("defcon_"))
        return {512, 128};
    return {};
}

std::string RawImageOutput(const std::string& fileName) { return ChangeFileExt(fileName, ".tga"); }

RawConversion ConvertRawImage(const std::string& fileName, TStream& source)
{
    const RawImageSize size = RawImageSizeOf(fileName);
    if (size.Width == 0)
        return RawConversion::NoRawImage;
    TFileIds input;
    input.Add(fileName);
    return WriteTGA(RawImageOutput(fileName), source, size.Width, size.Height, 32, 0, true, input)
               ? RawConversion::Converted
               : RawConversion::WouldReplace;
}
