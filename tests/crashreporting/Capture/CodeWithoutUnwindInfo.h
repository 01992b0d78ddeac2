#pragma once

// 4 KiB of code in this program that no DWARF frame describes, so an unwinder that meets its addresses falls
// back to the frame-pointer chain.
extern "C" char crashreporting_test_code_without_unwind_info[];
