#pragma once
// The stateless command operations. Each comes in two forms. Without a target it uses the
// process-wide CommandChannel as its caller set it up (address, port, time-outs). With one it sends to
// that gateway (or segment) on the command's own port, CommandInfo::gatewayPort, with the target's
// time-outs; the target's port is not read, and the channel's settings are neither read nor changed.
// Either form writes what it reads into the caller's DeviceReply, which the caller clears first. A
// stop request abandons the exchange under way; the operation then reports a failed exchange
// ("RET"="ERROR", "ERROR"="stopped\n").
#include "core/protocol/CommandChannel.h"
#include "core/protocol/CommandTexts.h"
#include "core/protocol/DeviceReply.h"
#include "core/protocol/ExchangeTarget.h"

#include <stop_token>
#include <string>

namespace orva {

struct DeviceCommands {
    // Connection and identity (gateway port 7998).
    // True when the reply carried a status word ("STATUS").
    static bool Connect(DeviceReply& reply, std::stop_token stop = {});
    static bool Connect(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop = {});
    // True when the marker occurred in the reply and the five identity fields were read. Puts only the
    // identity fields ("SWVERSION", "HDVERSION", "PRODUCTCLASS", "CPUCLASS", "DEVTYPE"), never "RET".
    static bool QuerySystemInfo(DeviceReply& reply, std::stop_token stop = {});
    static bool QuerySystemInfo(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop = {});
    // Each sends its own QUERY_SYSTEM_INFO; empty text when the value was not read.
    static std::string QueryDeviceType(std::stop_token stop = {});
    static std::string QueryDeviceType(const ExchangeTarget& gateway, std::stop_token stop = {});
    static std::string QueryProductClass(std::stop_token stop = {});
    static std::string QueryProductClass(const ExchangeTarget& gateway, std::stop_token stop = {});

    // Any operation of the command table that is one exchange with `gateway`, by its id: `number` or
    // `method` is the argument when the table's row takes one. The named operations are this with their
    // own id; a table that chooses the operation (the check table) calls it. The broadcast and upgrade
    // commands are not exchanges of this kind: false, nothing sent.
    static bool Exchange(const ExchangeTarget& gateway, DeviceReply& reply, Command id, int number = 0,
                         const std::string& method = {}, std::stop_token stop = {});

    // Hardware checks (gateway port 7999). True when every reply field of the command was read.
    static bool DiagLanPort(DeviceReply& reply, int lanPort, std::stop_token stop = {});
    static bool DiagLanPort(const ExchangeTarget& gateway, DeviceReply& reply, int lanPort, std::stop_token stop = {});
    static bool DiagPotsStart(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagPotsStart(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop = {});
    static bool DiagPotsRingOn(DeviceReply& reply, int potsPort, std::stop_token stop = {});
    static bool DiagPotsRingOn(const ExchangeTarget& gateway, DeviceReply& reply, int potsPort,
                               std::stop_token stop = {});
    static bool DiagPotsPlayDtmf(DeviceReply& reply, int potsPort, std::stop_token stop = {});
    static bool DiagPotsPlayDtmf(const ExchangeTarget& gateway, DeviceReply& reply, int potsPort,
                                 std::stop_token stop = {});
    static bool DiagPotsCngTone(DeviceReply& reply, int potsPort, std::stop_token stop = {});
    static bool DiagPotsCngTone(const ExchangeTarget& gateway, DeviceReply& reply, int potsPort,
                                std::stop_token stop = {});
    static bool DiagPotsCallLoop(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagPotsCallLoop(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop = {});
    static bool DiagPotsStop(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagPotsStop(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop = {});
    static bool DiagUplink(DeviceReply& reply, const std::string& method, std::stop_token stop = {});
    static bool DiagUplink(const ExchangeTarget& gateway, DeviceReply& reply, const std::string& method,
                           std::stop_token stop = {});
    static bool DiagFlash(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagFlash(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop = {});
    static bool DiagLed(DeviceReply& reply, const std::string& method, std::stop_token stop = {});
    static bool DiagLed(const ExchangeTarget& gateway, DeviceReply& reply, const std::string& method,
                        std::stop_token stop = {});
    static bool DiagUsb(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagUsb(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop = {});
    static bool DiagWifi(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagWifi(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop = {});

    // Software checks (gateway port 7998).
    static bool DiagSoftwareVersion(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagSoftwareVersion(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop = {});
    static bool DiagKeyProcess(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagKeyProcess(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop = {});
    static bool DiagSystemResource(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagSystemResource(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop = {});
    static bool DiagSoftwareArea(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagSoftwareArea(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop = {});
    static bool DiagConfigIntegrity(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagConfigIntegrity(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop = {});
    static bool DiagDiskIntegrity(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagDiskIntegrity(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop = {});

    // Replies reach the DeviceReply and onReply as UTF-8 text, each reply byte one character
    // (ReplyBytesToText).
    // Maintenance. The two broadcasts hand every decoded reply, with its sender, to onReply and return
    // true once the listen time has passed, whatever happened; the channel's result and error text are
    // not passed on.
    static bool RestorePreconfig(const ListenCallback& onReply, std::stop_token stop = {});
    static bool RestorePreconfig(const ExchangeTarget& segment, const ListenCallback& onReply,
                                 std::stop_token stop = {});
    static bool QueryUpgradeStatus(const ListenCallback& onReply, std::stop_token stop = {});
    static bool QueryUpgradeStatus(const ExchangeTarget& segment, const ListenCallback& onReply,
                                   std::stop_token stop = {});
    // Sends "HG_UPGRADE_CANCEL" once and waits for nothing; always false.
    static bool CancelUpgrade(std::stop_token stop = {});
    static bool CancelUpgrade(const ExchangeTarget& segment, std::stop_token stop = {});
};

} // namespace orva
