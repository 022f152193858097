// Status codes of the device API and the framework's kernel I/O-control codes.
//
// Standard codes lie in 0x1000..0x14ff, block codes in 0x2000..0x24ff, each split by
// destination: kernel 0x10xx/0x20xx, low-level driver common 0x11xx/0x21xx, low-level
// driver device-specific 0x12xx/0x22xx, base board common 0x13xx/0x23xx, base board
// specific 0x14xx/0x24xx.
#ifndef TRAX_CODES_H
#define TRAX_CODES_H

#include <stdint.h>

// Code ranges
#define M_MK_OF 0x1000      ///< kernel, standard
#define M_MK_BLK_OF 0x2000  ///< kernel, block
#define M_LL_OF 0x1100      ///< low-level driver common, standard
#define M_LL_BLK_OF 0x2100  ///< low-level driver common, block
#define M_DEV_OF 0x1200     ///< low-level driver device-specific, standard
#define M_DEV_BLK_OF 0x2200 ///< low-level driver device-specific, block
#define M_BB_OF 0x1300      ///< base board common, standard
#define M_BB_BLK_OF 0x2300  ///< base board common, block
#define M_BRD_OF 0x1400     ///< base board specific, standard
#define M_BRD_BLK_OF 0x2400 ///< base board specific, block
#define M_BLK_BIT 0x2000    ///< set in every block code

// Kernel, standard codes
#define M_MK_NBR_ADDR_SPACE 0x1001  ///< number of address spaces
#define M_MK_CH_CURRENT 0x1002      ///< current channel
#define M_MK_IO_MODE 0x1004         ///< i/o mode: 0 M_IO_EXEC, else M_IO_EXEC_INC
#define M_MK_IRQ_ENABLE 0x1005      ///< interrupt enabled (non-zero)
#define M_MK_IRQ_COUNT 0x1006       ///< interrupt counter
#define M_MK_DEBUG_LEVEL 0x1007     ///< kernel debug level
#define M_MK_API_DEBUG_LEVEL 0x1008 ///< device API debug level
#define M_MK_OSS_DEBUG_LEVEL 0x1009 ///< kernel OS-services debug level
#define M_MK_LOCKMODE 0x100a        ///< locking mode
#define M_MK_PATHCNT 0x100b         ///< number of open paths to the device
#define M_MK_DEV_SLOT 0x100c        ///< device slot number
#define M_MK_DEV_ADDRMODE 0x100d    ///< address-mode bits
#define M_MK_DEV_DATAMODE 0x100e    ///< data-mode bits
#define M_MK_BUSTYPE 0x100f         ///< board bus type
#define M_MK_IRQ_INFO 0x1010        ///< board interrupt info bits
#define M_MK_IRQ_MODE 0x1011        ///< board interrupt mode bits
#define M_MK_IRQ_INSTALLED 0x1012   ///< interrupt service installed (non-zero)
#define M_MK_TICKRATE 0x1013        ///< kernel ticks per second
#define M_MK_REV_SIZE 0x1014        ///< size in bytes of the revision text

// Kernel, block codes
#define M_MK_BLK_PHYSADDR 0x2001   ///< address-space record, physical address
#define M_MK_BLK_VIRTADDR 0x2002   ///< address-space record, virtual address
#define M_MK_BLK_BB_HANDLER 0x2003 ///< board driver name
#define M_MK_BLK_BRD_NAME 0x2004   ///< board name
#define M_MK_BLK_LL_HANDLER 0x2005 ///< device driver name
#define M_MK_BLK_DEV_NAME 0x2006   ///< device name
#define M_MK_BLK_REV_ID 0x2007     ///< revision text
#define M_MK_BLK_HW_NAME 0x2008    ///< device hardware name

// Low-level driver common, standard codes
#define M_LL_CH_NUMBER 0x1101       ///< number of channels
#define M_LL_CH_DIR 0x1102          ///< channel direction (M_CH_IN...)
#define M_LL_CH_LEN 0x1103          ///< channel length in bits
#define M_LL_CH_TYP 0x1104          ///< channel type (M_CH_BINARY...)
#define M_LL_IRQ_COUNT 0x1105       ///< driver interrupt counter
#define M_LL_ID_CHECK 0x1106        ///< id-prom check on (non-zero) or off
#define M_LL_DEBUG_LEVEL 0x1107     ///< driver debug level
#define M_LL_ID_SIZE 0x1108         ///< device id-prom size in bytes
#define M_BUF_RD_DEBUG_LEVEL 0x113c ///< read-buffer debug level
#define M_BUF_WR_DEBUG_LEVEL 0x115c ///< write-buffer debug level

// Low-level driver common, block codes
#define M_LL_BLK_ID_DATA 0x2101 ///< device id-prom contents

// Base board common, standard codes
#define M_BB_IRQ_VECT 0x1301      ///< interrupt vector
#define M_BB_IRQ_LEVEL 0x1302     ///< interrupt level
#define M_BB_IRQ_PRIORITY 0x1303  ///< interrupt priority
#define M_BB_IRQ_EXP_COUNT 0x1304 ///< exception interrupt counter
#define M_BB_ID_CHECK 0x1305      ///< board id-prom check
#define M_BB_DEBUG_LEVEL 0x1306   ///< board driver debug level
#define M_BB_ID_SIZE 0x1307       ///< board id-prom size in bytes

// Base board common, block codes
#define M_BB_BLK_ID_DATA 0x2301 ///< board id-prom contents

// MT test driver, device-specific codes
#define MT_ALARM_CLR 0x1230     ///< standard: disarm alarm number value
#define MT_BLK_ALARM_SET 0x2200 ///< block: arm alarm from an MT_ALARM_BLK

/// Alarm block of MT_BLK_ALARM_SET: 16 bytes, no gaps.
typedef struct {
    int32_t nr;     ///< alarm number
    int32_t msec;   ///< time until the signal, in ms
    int32_t cyclic; ///< non-zero: repeat every msec
    int32_t signal; ///< signal code sent to the process that armed the alarm
} MT_ALARM_BLK;

// Values of M_LL_CH_DIR and M_LL_CH_TYP
#define M_CH_IN 1
#define M_CH_OUT 2
#define M_CH_INOUT 3
#define M_CH_UNKNOWN 0
#define M_CH_BINARY 1
#define M_CH_ANALOG 2
#define M_CH_SERIAL 3
#define M_CH_COUNTER 4

// Values of M_MK_IO_MODE
#define M_IO_EXEC 0
#define M_IO_EXEC_INC 1

// Values of M_MK_BUSTYPE
#define OSS_BUSTYPE_NONE 0
#define OSS_BUSTYPE_VME 1
#define OSS_BUSTYPE_PCI 2
#define OSS_BUSTYPE_ISA 3
#define OSS_BUSTYPE_ISAPNP 4
#define OSS_BUSTYPE_MMODULE 5

// Values of M_MK_LOCKMODE
#define LL_LOCK_NONE 1
#define LL_LOCK_CALL 2
#define LL_LOCK_CHAN 3

// Bits of M_MK_DEV_ADDRMODE and M_MK_DEV_DATAMODE
#define TRAX_MA_NONE 0x00
#define TRAX_MA08 0x01
#define TRAX_MA24 0x02
#define TRAX_MA_PCICFG 0x100
#define TRAX_MD_NONE 0x00
#define TRAX_MD08 0x04
#define TRAX_MD16 0x08
#define TRAX_MD32 0x10

// Bits of M_MK_IRQ_INFO and M_MK_IRQ_MODE
#define BBIS_IRQ_NONE 0x00
#define BBIS_IRQ_DEVIRQ 0x01
#define BBIS_IRQ_EXPIRQ 0x02
#define BBIS_IRQ_EXCEPTION 0x02
#define BBIS_IRQ_EXCLUSIVE 0x04
#define BBIS_IRQ_SHARED 0x08

// Debug-level bits
#define DBG_LEV1 0x00000001u
#define DBG_LEV2 0x00000002u
#define DBG_LEV3 0x00000004u
#define DBG_LEVERR 0x00008000u
#define DBG_NORM 0x40000000u
#define DBG_INTR 0x80000000u

// I/O-control codes of the kernel driver: device type 0x9100, buffered, any access.
#define TRAX_CTL_CODE(func) ((0x9100u << 16) | ((func) << 2))
#define MK_IOCTL_DEVSEM_WAIT 0x9100200Cu    ///< in: int32 time-out ms (0 none, -1 forever)
#define MK_IOCTL_DEVSEM_RELEASE 0x91002010u ///< no data
#define MK_IOCTL_DELAY 0x91002014u          ///< in: int32 delay in ms

#endif
