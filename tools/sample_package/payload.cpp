#include "payload.h"

#include <array>

extern "C" {
extern const unsigned char qv_payload_product_begin[], qv_payload_product_end[];
extern const unsigned char qv_payload_uninstaller_begin[], qv_payload_uninstaller_end[];
extern const unsigned char qv_payload_samples_begin[], qv_payload_samples_end[];
}

std::span<const PayloadFile> PayloadFiles() {
    static const std::array<PayloadFile, 3> files{{
        {"Lumivex.exe", {qv_payload_product_begin, qv_payload_product_end}, true},
        {"uninst.ep", {qv_payload_uninstaller_begin, qv_payload_uninstaller_end}, true},
        {"samples.bin", {qv_payload_samples_begin, qv_payload_samples_end}, false},
    }};
    return files;
}
