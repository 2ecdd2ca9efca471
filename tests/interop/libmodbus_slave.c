/* An independent Modbus RTU slave (libmodbus) for interop tests.
 * Usage: libmodbus_slave DEVICE SLAVE_ID BAUD
 * Holding register r starts at ((r * 5 + 1) & 0xFF) << 8 | ((r * 11 + 9) & 0xFF).
 * Every function 06 request is printed as "SET <register> <value>" after it is applied. */
#include <errno.h>
#include <modbus.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: %s DEVICE SLAVE_ID BAUD\n", argv[0]);
        return 2;
    }
    modbus_t* ctx = modbus_new_rtu(argv[1], atoi(argv[3]), 'N', 8, 1);
    modbus_mapping_t* map = modbus_mapping_new(0, 0, 300, 0);
    if (!ctx || !map)
        return 1;
    for (int r = 0; r < 300; ++r)
        map->tab_registers[r] = (uint16_t)((((r * 5 + 1) & 0xFF) << 8) | ((r * 11 + 9) & 0xFF));
    modbus_set_slave(ctx, atoi(argv[2]));
    if (modbus_connect(ctx) != 0) {
        fprintf(stderr, "connect: %s\n", modbus_strerror(errno));
        return 1;
    }
    printf("ready\n");
    fflush(stdout);
    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    for (;;) {
        int n = modbus_receive(ctx, query);
        if (n > 0) {
            modbus_reply(ctx, query, n, map);
            if (query[1] == 0x06) {
                int r = (query[2] << 8) | query[3];
                printf("SET %d %d\n", r, map->tab_registers[r]);
                fflush(stdout);
            }
        } else if (n < 0 && errno != EMBBADCRC && errno != ETIMEDOUT && errno != EMBBADDATA) {
            /* The line was closed: the test is over. */
            if (errno == EIO || errno == EBADF)
                break;
        }
    }
    modbus_free(ctx);
    return 0;
}
