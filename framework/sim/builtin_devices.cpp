/* The built-in devices of the catalogue. */
#include "sim_catalogue.h"
#include "trax_codes.h"

namespace sim {

namespace {

DeviceSpec binary_io_device() {
    DeviceSpec d;
    d.name = "sim_dio_1";
    d.hardwareName = "SIM-DIO16";
    d.driverName = "sim_dio_ll";
    d.boardName = "SIM_PCI_CARRIER";
    d.boardDriverName = "sim_bb_pci";
    d.purpose = "16 binary in/out channels, 1024-byte block memory";
    d.revision = "sim_dio_ll  1.3  low-level driver for SIM-DIO16\n"
                 "sim_bb_pci  1.1  board driver for SIM_PCI_CARRIER\n"
                 "trax_kernel 1.0  simulated kernel\n";
    d.model = DriverModel::BinaryIo;
    d.channels = {16, M_CH_INOUT, 1, M_CH_BINARY};
    d.irq = {1,
             1,
             42,
             40,
             0x50,
             5,
             3,
             1,
             BBIS_IRQ_DEVIRQ | BBIS_IRQ_EXPIRQ,
             BBIS_IRQ_EXCEPTION | BBIS_IRQ_SHARED};
    d.slot = 2;
    d.addrMode = TRAX_MA08 | TRAX_MA24 | TRAX_MA_PCICFG;
    d.dataMode = TRAX_MD16 | TRAX_MD32;
    d.busType = OSS_BUSTYPE_PCI;
    d.lockMode = LL_LOCK_CALL;
    d.tickRate = 1000;
    d.driverIdCheck = 1;
    d.boardIdCheck = 1;
    d.memorySize = 1024;
    d.spaces = {{0xF4000000u, 0x80010000u, 0x100}, {0xF4100000u, 0x80020000u, 0x1000}};
    d.deviceIdProm = {64, 0x5346, 0x0D10, 0x0103, 20260001};
    d.boardIdProm = {32, 0x5346, 0x0B01, 0x0101, 19990042};
    return d;
}

DeviceSpec analog_input_device() {
    DeviceSpec d;
    d.name = "sim_adc_1";
    d.hardwareName = "SIM-ADC8";
    d.driverName = "sim_adc_ll";
    d.boardName = "SIM_VME_CARRIER";
    d.boardDriverName = "sim_bb_vme";
    d.purpose = "8 analog inputs (16 bit) with sine, ramp, triangle and square waves";
    d.revision = "sim_adc_ll  2.0  low-level driver for SIM-ADC8\n"
                 "sim_bb_vme  1.4  board driver for SIM_VME_CARRIER\n"
                 "trax_kernel 1.0  simulated kernel\n";
    d.model = DriverModel::AnalogIn;
    d.channels = {8, M_CH_IN, 16, M_CH_ANALOG};
    d.irq = {1, 0, 0, 0, 0xC0, 3, 2, 0, BBIS_IRQ_DEVIRQ, BBIS_IRQ_EXCLUSIVE};
    d.slot = 0;
    d.addrMode = TRAX_MA24;
    d.dataMode = TRAX_MD16;
    d.busType = OSS_BUSTYPE_VME;
    d.lockMode = LL_LOCK_CHAN;
    d.tickRate = 1000;
    d.driverIdCheck = 1;
    d.boardIdCheck = 0;
    d.spaces = {{0x00E00000u, 0x80400000u, 0x100}};
    d.deviceIdProm = {128, 0x5346, 0x0A08, 0x0200, 20250777};
    d.boardIdProm = {16, 0x5346, 0x0B02, 0x0104, 19980007};
    return d;
}

DeviceSpec mt_test_device() {
    DeviceSpec d;
    d.name = "sim_mt_1";
    d.hardwareName = "MT";
    d.driverName = "sim_mt_ll";
    d.boardName = "SIM_SW_BOARD";
    d.boardDriverName = "sim_bb_sw";
    d.purpose = "MT test driver: software device, 4 value registers, 256-byte block memory, "
                "alarms 0..7 that send signals";
    d.revision = "sim_mt_ll   1.0  MT test driver\n"
                 "sim_bb_sw   1.0  board driver for software devices\n"
                 "trax_kernel 1.0  simulated kernel\n";
    d.model = DriverModel::MtTest;
    d.channels = {4, M_CH_INOUT, 32, M_CH_UNKNOWN};
    d.irq = {0, 0, 0, 0, 0, 0, 0, 0, BBIS_IRQ_NONE, 0};
    d.slot = 0;
    d.addrMode = TRAX_MA_NONE;
    d.dataMode = TRAX_MD_NONE;
    d.busType = OSS_BUSTYPE_NONE;
    d.lockMode = LL_LOCK_NONE;
    d.tickRate = 1000;
    d.memorySize = 256;
    return d;
}

DeviceSpec fault_device() {
    DeviceSpec d;
    d.name = "sim_fault_1";
    d.hardwareName = "SIM-FAULT";
    d.driverName = "sim_fault_ll";
    d.boardName = "SIM_ODD_CARRIER";
    d.boardDriverName = "sim_bb_odd";
    d.purpose = "error paths: channel count, hw name, irq mode, tick rate, driver irq count, "
                "board irq level, id-prom data and M_close fail";
    d.revision = "sim_fault_ll 0.9  low-level driver that fails on purpose\n"
                 "sim_bb_odd   0.9  board driver on an unknown bus\n"
                 "trax_kernel  1.0  simulated kernel\n";
    d.model = DriverModel::BinaryIo;
    d.channels = {2, M_CH_OUT, 8, 5};
    d.irq = {0, 0, 0, 0, 7, 1, 1, 0, BBIS_IRQ_NONE, 0};
    d.slot = 7;
    d.addrMode = 0x200;
    d.dataMode = TRAX_MD08;
    d.busType = 6;
    d.lockMode = 0;
    d.tickRate = 100;
    d.memorySize = 64;
    d.spaces = {{0x000C8000u, 0x000C8000u, 0x40}};
    d.deviceIdProm = {32, 0x5346, 0x0F01, 0x0009, 1};
    d.boardIdProm = {8, 0x5346, 0x0B0F, 0x0009, 2};
    d.faultyCodes = {M_LL_CH_NUMBER, M_MK_BLK_HW_NAME, M_MK_IRQ_MODE,   M_MK_TICKRATE,
                     M_LL_IRQ_COUNT, M_BB_IRQ_LEVEL,   M_LL_BLK_ID_DATA};
    d.closeFails = true;
    return d;
}

} // namespace

std::vector<DeviceSpec> builtin_devices() {
    return {binary_io_device(), analog_input_device(), mt_test_device(), fault_device()};
}

} // namespace sim
