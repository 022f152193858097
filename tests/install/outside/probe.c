// Uses the device API and the utilities from C: writes and reads back a channel of the
// binary I/O device, reads its channel count, converts a hexadecimal text and shows the text
// of an error number.
#include <stdio.h>

#include <trax_api.h>
#include <trax_errors.h>
#include <usr_utl.h>

int main(void) {
    int32_t path = M_open("sim_dio_1");
    int32_t value = 0, channels = 0;
    if (path < 0 || M_write(path, 1) != 0 || M_read(path, &value) != 0 ||
        M_getstat(path, M_LL_CH_NUMBER, &channels) != 0 || M_close(path) != 0) {
        printf("failed\n");
        return 1;
    }
    printf("read back %d, %d channels, 0x%x\n", (int)value, (int)channels,
           (unsigned)UTL_Atox("e00e"));
    printf("%s\n", M_errstring(ERR_MK_ILL_PATH));
    return 0;
}
