// Checks of the readers over arbitrary bytes: the libFuzzer targets run them
// on every input they make up, and the corpus replay test runs them on the
// seed files and on every input that once broke a promise.
//
// Each check hands the bytes to a reader from memory (a MemorySource named
// like the file they would be, "input.ter", so that the messages still name
// one; no file is written per input), then holds the reader to the promises
// its header makes: the messages it shows, what the record holds after a
// failure, sizes that agree with the bytes really present, sampling that
// stays inside the data. A crash or a sanitizer report ends the process;
// everything else that is broken comes back as a text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Each returns an empty text when every promise held, else a description of
// the first one broken. Messages and console lines are captured, not shown.

// SettingsFile::read, compared with parse; the store's operations on what
// was read; a written store reads back to the same entries.
std::string checkSettingsInput(const std::uint8_t* data, std::size_t size);

// BitmapFile::read, then a BitmapHeightSource and a ColourBitmap over the
// same file, sampled inside and outside the picture.
std::string checkBitmapInput(const std::uint8_t* data, std::size_t size);

// TerragenFile::read, then a TerragenHeightSource over the same file.
std::string checkTerragenInput(const std::uint8_t* data, std::size_t size);

// Layout::load. A file that loads without complaint saves to the same bytes
// (but for the normalisations the format defines) and loads again into the
// same layout; the image a save writes after its fix-ups always loads back.
std::string checkLayoutInput(const std::uint8_t* data, std::size_t size);

// readElevationFile on a ".tif" file, then readTiffPicture on the same
// bytes: a result agrees with its message, a failure leaves everything
// empty, a success has the sizes and the georeference it promises.
std::string checkGeotiffInput(const std::uint8_t* data, std::size_t size);

// readElevationFile on the bytes as an ".xyz" and as an ".asc" file (an
// ASCII grid is known by its keys whatever the ending), with the same
// promises.
std::string checkGridsInput(const std::uint8_t* data, std::size_t size);

// The archive readers (dgm/archive.h): listZip over the bytes as a ".zip"
// and readGzipHeader as a ".gz", then unpackEntry on every entry within a
// small bound. A result agrees with its one message, which names the
// archive or the entry; an unpacked entry has its declared size and CRC-32,
// a refused one leaves nothing.
std::string checkArchivesInput(const std::uint8_t* data, std::size_t size);
