#!/usr/bin/python3
"""An independent Modbus RTU slave (pymodbus) for interop tests.

Usage: pymodbus_slave.py DEVICE SLAVE_ID BAUD
Holding register r starts at ((r * 7 + 3) & 0xFF) << 8 | ((r * 13 + 5) & 0xFF).
Every write is printed as "SET <register> <value>".
"""
import asyncio
import logging
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server import StartAsyncSerialServer
from pymodbus.transaction import ModbusRtuFramer


def initial(r):
    return (((r * 7 + 3) & 0xFF) << 8) | ((r * 13 + 5) & 0xFF)


class LoggingBlock(ModbusSequentialDataBlock):
    def setValues(self, address, values):
        if not isinstance(values, list):
            values = [values]
        for i, v in enumerate(values):
            print("SET %d %d" % (address + i, v), flush=True)
        super().setValues(address, values)


def main():
    device, slave_id, baud = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    logging.basicConfig(level=logging.ERROR)
    block = LoggingBlock(0, [initial(r) for r in range(300)])
    store = ModbusSlaveContext(hr=block, zero_mode=True)
    context = ModbusServerContext(slaves={slave_id: store}, single=False)
    asyncio.run(serve(context, device, baud))


async def serve(context, device, baud):
    server = await StartAsyncSerialServer(context=context, framer=ModbusRtuFramer, port=device, baudrate=baud,
                                          bytesize=8, parity="N", stopbits=1, timeout=0.005, defer_start=True)
    # "ready" only once the port is open: a request sent before would be lost,
    # and a loaded machine takes long enough between the two for that to happen.
    await server.start()
    print("ready", flush=True)
    await server.serve_forever()


if __name__ == "__main__":
    main()
