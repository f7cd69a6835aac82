#pragma once
// The stateless command operations. Each uses the process-wide CommandChannel as its caller set it up
// (address, port, time-outs) and writes what it reads into the caller's DeviceReply, which the caller
// clears first. A stop request abandons the exchange under way; the operation then reports a failed
// exchange ("RET"="ERROR", "ERROR"="stopped\n").
#include "core/protocol/CommandChannel.h"
#include "core/protocol/DeviceReply.h"

#include <stop_token>
#include <string>

namespace orva {

struct DeviceCommands {
    // Connection and identity (gateway port 7998).
    // True when the reply carried a status word ("STATUS").
    static bool Connect(DeviceReply& reply, std::stop_token stop = {});
    // True when the marker occurred in the reply and the five identity fields were read. Puts only the
    // identity fields ("SWVERSION", "HDVERSION", "PRODUCTCLASS", "CPUCLASS", "DEVTYPE"), never "RET".
    static bool QuerySystemInfo(DeviceReply& reply, std::stop_token stop = {});
    // Each sends its own QUERY_SYSTEM_INFO; empty text when the value was not read.
    static std::string QueryDeviceType(std::stop_token stop = {});
    static std::string QueryProductClass(std::stop_token stop = {});

    // Hardware checks (gateway port 7999). True when every reply field of the command was read.
    static bool DiagLanPort(DeviceReply& reply, int lanPort, std::stop_token stop = {});
    static bool DiagPotsStart(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagPotsRingOn(DeviceReply& reply, int potsPort, std::stop_token stop = {});
    static bool DiagPotsPlayDtmf(DeviceReply& reply, int potsPort, std::stop_token stop = {});
    static bool DiagPotsCngTone(DeviceReply& reply, int potsPort, std::stop_token stop = {});
    static bool DiagPotsCallLoop(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagPotsStop(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagUplink(DeviceReply& reply, const std::string& method, std::stop_token stop = {});
    static bool DiagFlash(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagLed(DeviceReply& reply, const std::string& method, std::stop_token stop = {});
    static bool DiagUsb(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagWifi(DeviceReply& reply, std::stop_token stop = {});

    // Software checks (gateway port 7998).
    static bool DiagSoftwareVersion(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagKeyProcess(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagSystemResource(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagSoftwareArea(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagConfigIntegrity(DeviceReply& reply, std::stop_token stop = {});
    static bool DiagDiskIntegrity(DeviceReply& reply, std::stop_token stop = {});

    // Replies reach the DeviceReply and onReply as UTF-8 text, each reply byte one character
    // (ReplyBytesToText).
    // Maintenance. The two broadcasts hand every decoded reply, with its sender, to onReply
    // (LastListenReply holds its bytes meanwhile) and return true once the listen time has passed, whatever happened;
    // the channel's result and error text are not passed on.
    static bool RestorePreconfig(const ListenCallback& onReply, std::stop_token stop = {});
    static bool QueryUpgradeStatus(const ListenCallback& onReply, std::stop_token stop = {});
    // Sends "HG_UPGRADE_CANCEL" once and waits for nothing; always false.
    static bool CancelUpgrade(std::stop_token stop = {});
};

} // namespace orva
