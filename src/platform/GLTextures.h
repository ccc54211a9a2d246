// OpenGL texture services for code that does not link OpenGL. The GL build implements them over the current
// context; tests use a recorder.
#pragma once

#include <cstdint>

class TMemoryStream;

class GLTextures {
public:
    virtual ~GLTextures() = default;
    // Turns an image held in a stream into an OpenGL texture; returns its name (0 when refused).
    virtual uint32_t TextureFromStream(TMemoryStream& stream, bool mipmaps, bool compress) = 0;
    virtual void DeleteTexture(uint32_t name) = 0;
};
