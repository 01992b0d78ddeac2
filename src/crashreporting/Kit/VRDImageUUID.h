#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// An image's UUID as records, uploads and lookups carry it: 32 lower-case hexadecimal digits. A Mach-O UUID is
// its 16 bytes; an ELF image's is the start of its GNU build-id (20 bytes from the GNU linker, 8 from lld, 16
// from an MD5 one), cut or padded with zeros to 16 bytes. The capture, the ELF reader of the next launch and the
// executable information of the onboarding all read it here, so the forms agree. Async-signal-safe, no heap.

namespace crashreporting {

inline constexpr std::size_t VRDImageUUIDBytes = 16;
inline constexpr std::size_t VRDImageUUIDDigits = 2 * VRDImageUUIDBytes;
/// Room for the digits and their terminator.
inline constexpr std::size_t VRDImageUUIDCapacity = VRDImageUUIDDigits + 1;

/// The first 16 of `count` bytes (zero-padded when fewer) as 32 digits and a terminator into `out`.
void VRDImageUUIDFormat(const std::uint8_t* bytes, std::size_t count, char* out) noexcept;

/// The UUID of the GNU build-id among `size` bytes of ELF notes (32- and 64-bit notes are alike) into `out`
/// (VRDImageUUIDCapacity bytes); false when there is none.
bool VRDImageUUIDFromNotes(const std::uint8_t* notes, std::uint64_t size, char* out) noexcept;

/// Whether a recorded UUID names the image whose UUID is `uuid`, both taken in the 32-digit form, so records of
/// versions that kept whole build-ids (40 digits for the GNU linker's, 16 for lld's) still match.
bool VRDImageUUIDMatches(std::string_view recorded, std::string_view uuid) noexcept;

}  // namespace crashreporting
