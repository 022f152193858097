// Error numbers of the framework libraries.
//
// A failing call leaves its number as the calling thread's last error (GetLastError,
// UOS_ErrnoGet). Numbers below 0x10000 are the platform's own (Windows) error codes;
// the framework's numbers carry the prefix 0xE00E0000, so that they are negative as
// signed 32-bit values. M_errstring and UOS_ErrString give a text for every number.
#ifndef TRAX_ERRORS_H
#define TRAX_ERRORS_H

#define ERR_SUCCESS 0x00000000u

// OS-services library
#define ERR_UOS 0xE00E1000u                   ///< unspecified OS-services error
#define ERR_UOS_NOT_INIT 0xE00E1001u          ///< signal handling not initialised
#define ERR_UOS_ALREADY_INIT 0xE00E1002u      ///< signal handling already initialised
#define ERR_UOS_ILL_SIG 0xE00E1003u           ///< signal code outside 0x100..0x1ff
#define ERR_UOS_NOT_INSTALLED 0xE00E1004u     ///< signal code not installed
#define ERR_UOS_ALREADY_INSTALLED 0xE00E1005u ///< signal code already installed
#define ERR_UOS_TIMEOUT 0xE00E1006u           ///< no signal arrived within the time-out
#define ERR_UOS_HANDLER_ACTIVE 0xE00E1007u    ///< UOS_SigWait while a callback is registered
#define ERR_UOS_NO_MEM 0xE00E1008u            ///< out of memory
#define ERR_UOS_EVENT 0xE00E1009u             ///< signal event could not be created
#define ERR_UOS_THREAD 0xE00E100Au            ///< signal thread could not be started
#define ERR_UOS_ILL_PARAM 0xE00E100Bu         ///< illegal parameter (e.g. null pointer)
#define ERR_UOS_MIKRODELAY_INIT 0xE00E100Cu   ///< micro delay not initialised
#define ERR_UOS_BUSY 0xE00E100Du              ///< another thread already waits in UOS_SigWait

// Kernel (device API and path handling)
#define ERR_MK 0xE00E1100u               ///< unspecified kernel error
#define ERR_MK_NO_DEVICE 0xE00E1101u     ///< unknown device name
#define ERR_MK_NAME_TOO_LONG 0xE00E1102u ///< device name too long
#define ERR_MK_ILL_PATH 0xE00E1103u      ///< bad or closed path
#define ERR_MK_UNK_CODE 0xE00E1104u      ///< unknown status code
#define ERR_MK_ILL_PARAM 0xE00E1105u     ///< illegal parameter (e.g. null pointer)
#define ERR_MK_BLK_SIZE 0xE00E1106u ///< block size negative, too large, or too small for the code
#define ERR_MK_NO_MEM 0xE00E1107u   ///< out of memory
#define ERR_MK_DEVSEM_TIMEOUT 0xE00E1108u  ///< device semaphore not got within the time-out
#define ERR_MK_DEVSEM_NOT_HELD 0xE00E1109u ///< device semaphore released but not held
#define ERR_MK_ILL_IOCTL 0xE00E110Au       ///< unknown I/O-control code or bad buffer
#define ERR_MK_READ_ONLY 0xE00E110Bu       ///< status code cannot be set
#define ERR_MK_PATHS_FULL 0xE00E110Cu      ///< too many open paths
#define ERR_MK_DEF_MISMATCH 0xE00E110Du    ///< shared device state made from another description

// Low-level drivers
#define ERR_LL 0xE00E1200u           ///< unspecified driver error
#define ERR_LL_UNK_CODE 0xE00E1201u  ///< status code not supported by the driver
#define ERR_LL_ILL_CHAN 0xE00E1202u  ///< illegal channel number
#define ERR_LL_ILL_PARAM 0xE00E1203u ///< illegal parameter value
#define ERR_LL_READ 0xE00E1204u      ///< device cannot be read
#define ERR_LL_WRITE 0xE00E1205u     ///< device cannot be written
#define ERR_LL_NO_IDPROM 0xE00E1206u ///< device has no id-prom
#define ERR_LL_ILL_ALARM 0xE00E1207u ///< alarm number out of range
#define ERR_LL_ILL_TIME 0xE00E1208u  ///< alarm time not positive
#define ERR_LL_BLK_SHORT 0xE00E1209u ///< block too short for the code
#define ERR_LL_DEV_FAULT 0xE00E120Au ///< simulated device fault
#define ERR_LL_ILL_SIG 0xE00E120Bu   ///< signal code outside 0x100..0x1ff

// Base-board drivers
#define ERR_BBIS 0xE00E1300u           ///< unspecified board driver error
#define ERR_BBIS_UNK_CODE 0xE00E1301u  ///< status code not supported by the board
#define ERR_BBIS_NO_IDPROM 0xE00E1302u ///< board has no id-prom
#define ERR_BBIS_ILL_PARAM 0xE00E1303u ///< illegal parameter value

#endif
