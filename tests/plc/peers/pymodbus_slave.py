#!/usr/bin/python3
"""A Modbus slave on a serial device, pymodbus's own serial server.

    pymodbus_slave.py --port DEVICE --framer ascii|rtu --dump FILE
                      [--unit N] [--set I=V]...

Holds 1000 holding registers (register I is index I, no offset), set from
the --set values. FILE gets the non-zero registers, one "I=V" line each,
when the slave is ready and again after every write a master makes; it is
replaced whole, so a reader never sees half of it.
"""
import argparse
import asyncio
import logging
import os
import signal
import sys

from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                ModbusSlaveContext)
from pymodbus.server import StartAsyncSerialServer
from pymodbus.transaction import ModbusAsciiFramer, ModbusRtuFramer

REGISTERS = 1000


class DumpingBlock(ModbusSequentialDataBlock):
    """Holding registers that write the dump file after every change."""

    def __init__(self, values, dump):
        super().__init__(0, values)
        self.dump = dump

    def setValues(self, address, values):
        super().setValues(address, values)
        self.write_dump()

    def write_dump(self):
        lines = "".join(f"{i}={v}\n" for i, v in enumerate(self.values) if v)
        temp = self.dump + ".tmp"
        with open(temp, "w", encoding="ascii") as f:
            f.write(lines)
        os.replace(temp, self.dump)


async def serve(args, block):
    framer = ModbusAsciiFramer if args.framer == "ascii" else ModbusRtuFramer
    store = ModbusSlaveContext(hr=block, zero_mode=True)
    context = ModbusServerContext(slaves={args.unit: store}, single=False)
    server = await StartAsyncSerialServer(context=context, framer=framer, port=args.port,
                                          baudrate=args.baud, defer_start=True)
    await server.start()
    if server.transport is None:
        sys.exit(f"cannot open {args.port}")
    block.write_dump()  # ready
    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    await stop.wait()
    await server.shutdown()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", required=True)
    parser.add_argument("--framer", choices=("ascii", "rtu"), required=True)
    parser.add_argument("--dump", required=True)
    parser.add_argument("--unit", type=int, default=1)
    parser.add_argument("--baud", type=int, default=9600)
    parser.add_argument("--set", action="append", default=[])
    args = parser.parse_args()
    values = [0] * REGISTERS
    for item in args.set:
        index, value = item.split("=")
        values[int(index)] = int(value) & 0xFFFF
    logging.basicConfig(level=logging.CRITICAL)
    asyncio.run(serve(args, DumpingBlock(values, args.dump)))


if __name__ == "__main__":
    main()
