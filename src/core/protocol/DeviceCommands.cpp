#include "core/protocol/DeviceCommands.h"

#include "core/protocol/CommandTexts.h"
#include "core/protocol/ReplyFields.h"
#include "core/protocol/ReplyText.h"
#include "core/protocol/RunStandardCommand.h"

namespace orva {
namespace {

// Where an operation sends: to the channel's settings as they are now when no gateway is named, else
// to the gateway on the command's own port.
ExchangeTarget Aim(const ExchangeTarget* gateway, Command id) {
    if (!gateway)
        return CommandChannel::Instance().Target();
    return gateway->onPort(static_cast<uint16_t>(Info(id).gatewayPort));
}

bool Standard(const ExchangeTarget* gateway, Command id, const std::string& text, DeviceReply& reply,
              std::stop_token stop) {
    return RunStandardCommand(Aim(gateway, id), text, Info(id).replyFields, reply, std::move(stop));
}

bool Broadcast(const ExchangeTarget* gateway, Command id, const ListenCallback& onReply, std::stop_token stop) {
    std::string errorText; // not passed on: no answer and a failed start look the same to the caller
    const ListenCallback asText = [&onReply](const std::string& reply, const ReplySource& from) {
        if (onReply)
            onReply(ReplyBytesToText(reply), from);
    };
    auto& channel = CommandChannel::Instance();
    if (gateway)
        channel.SendAndListen(Aim(gateway, id), CommandText(id), asText, errorText, std::move(stop));
    else // the settings' own listen, which reads their listen time on every pass
        channel.SendAndListen(CommandText(id), asText, errorText, std::move(stop));
    return true;
}

bool SystemInfo(const ExchangeTarget* gateway, DeviceReply& reply, std::stop_token stop) {
    std::string replyText;
    std::string errorText;
    if (CommandChannel::Instance().Transact(Aim(gateway, Command::QuerySystemInfo),
                                            CommandText(Command::QuerySystemInfo), replyText, errorText, 1,
                                            std::move(stop)) < 0)
        return false;
    if (replyText.find(kSystemInfoMarker) == std::string::npos)
        return false;
    ReplyFields fields;
    fields.ParseReplyFields(ReplyBytesToText(replyText), " ");
    for (const auto& name : Info(Command::QuerySystemInfo).replyFields) {
        std::string value;
        if (!fields.Field(name, value))
            return false;
        reply.Put(name, value);
    }
    return true;
}

std::string SystemInfoField(const ExchangeTarget* gateway, const char* name, std::stop_token stop) {
    DeviceReply reply;
    SystemInfo(gateway, reply, std::move(stop));
    return reply.Get(name);
}

bool Cancel(const ExchangeTarget* gateway, std::stop_token stop) {
    std::string replyText;
    std::string errorText;
    CommandChannel::Instance().Transact(Aim(gateway, Command::CancelUpgrade), CommandText(Command::CancelUpgrade),
                                        replyText, errorText, 0, std::move(stop));
    return false;
}

} // namespace

bool DeviceCommands::Exchange(const ExchangeTarget& gateway, DeviceReply& reply, Command id, int number,
                              const std::string& method, std::stop_token stop) {
    switch (id) {
    case Command::QuerySystemInfo:
        return SystemInfo(&gateway, reply, std::move(stop));
    case Command::RestorePreconfig:
    case Command::QueryUpgradeStatus:
    case Command::CancelUpgrade:
        return false;
    default:
        break;
    }
    const CommandInfo& info = Info(id);
    const std::string text = info.argument == CommandArgument::Number ? CommandText(id, number)
                             : info.argument == CommandArgument::Text ? CommandText(id, method)
                                                                      : CommandText(id);
    return Standard(&gateway, id, text, reply, std::move(stop));
}

bool DeviceCommands::QuerySystemInfo(DeviceReply& reply, std::stop_token stop) {
    return SystemInfo(nullptr, reply, std::move(stop));
}
bool DeviceCommands::QuerySystemInfo(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop) {
    return SystemInfo(&gateway, reply, std::move(stop));
}
std::string DeviceCommands::QueryDeviceType(std::stop_token stop) {
    return SystemInfoField(nullptr, "DEVTYPE", std::move(stop));
}
std::string DeviceCommands::QueryDeviceType(const ExchangeTarget& gateway, std::stop_token stop) {
    return SystemInfoField(&gateway, "DEVTYPE", std::move(stop));
}
std::string DeviceCommands::QueryProductClass(std::stop_token stop) {
    return SystemInfoField(nullptr, "PRODUCTCLASS", std::move(stop));
}
std::string DeviceCommands::QueryProductClass(const ExchangeTarget& gateway, std::stop_token stop) {
    return SystemInfoField(&gateway, "PRODUCTCLASS", std::move(stop));
}

bool DeviceCommands::Connect(DeviceReply& reply, std::stop_token stop) {
    return Standard(nullptr, Command::Connect, CommandText(Command::Connect), reply, std::move(stop));
}
bool DeviceCommands::Connect(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop) {
    return Standard(&gateway, Command::Connect, CommandText(Command::Connect), reply, std::move(stop));
}

bool DeviceCommands::DiagLanPort(DeviceReply& reply, int lanPort, std::stop_token stop) {
    return Standard(nullptr, Command::DiagLanPort, CommandText(Command::DiagLanPort, lanPort), reply, std::move(stop));
}
bool DeviceCommands::DiagLanPort(const ExchangeTarget& gateway, DeviceReply& reply, int lanPort, std::stop_token stop) {
    return Standard(&gateway, Command::DiagLanPort, CommandText(Command::DiagLanPort, lanPort), reply, std::move(stop));
}

bool DeviceCommands::DiagPotsStart(DeviceReply& reply, std::stop_token stop) {
    return Standard(nullptr, Command::DiagPotsStart, CommandText(Command::DiagPotsStart), reply, std::move(stop));
}
bool DeviceCommands::DiagPotsStart(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop) {
    return Standard(&gateway, Command::DiagPotsStart, CommandText(Command::DiagPotsStart), reply, std::move(stop));
}

bool DeviceCommands::DiagPotsRingOn(DeviceReply& reply, int potsPort, std::stop_token stop) {
    return Standard(nullptr, Command::DiagPotsRingOn, CommandText(Command::DiagPotsRingOn, potsPort), reply, std::move(stop));
}
bool DeviceCommands::DiagPotsRingOn(const ExchangeTarget& gateway, DeviceReply& reply, int potsPort, std::stop_token stop) {
    return Standard(&gateway, Command::DiagPotsRingOn, CommandText(Command::DiagPotsRingOn, potsPort), reply, std::move(stop));
}

bool DeviceCommands::DiagPotsPlayDtmf(DeviceReply& reply, int potsPort, std::stop_token stop) {
    return Standard(nullptr, Command::DiagPotsPlayDtmf, CommandText(Command::DiagPotsPlayDtmf, potsPort), reply, std::move(stop));
}
bool DeviceCommands::DiagPotsPlayDtmf(const ExchangeTarget& gateway, DeviceReply& reply, int potsPort, std::stop_token stop) {
    return Standard(&gateway, Command::DiagPotsPlayDtmf, CommandText(Command::DiagPotsPlayDtmf, potsPort), reply, std::move(stop));
}

bool DeviceCommands::DiagPotsCngTone(DeviceReply& reply, int potsPort, std::stop_token stop) {
    return Standard(nullptr, Command::DiagPotsCngTone, CommandText(Command::DiagPotsCngTone, potsPort), reply, std::move(stop));
}
bool DeviceCommands::DiagPotsCngTone(const ExchangeTarget& gateway, DeviceReply& reply, int potsPort, std::stop_token stop) {
    return Standard(&gateway, Command::DiagPotsCngTone, CommandText(Command::DiagPotsCngTone, potsPort), reply, std::move(stop));
}

bool DeviceCommands::DiagPotsCallLoop(DeviceReply& reply, std::stop_token stop) {
    return Standard(nullptr, Command::DiagPotsCallLoop, CommandText(Command::DiagPotsCallLoop), reply, std::move(stop));
}
bool DeviceCommands::DiagPotsCallLoop(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop) {
    return Standard(&gateway, Command::DiagPotsCallLoop, CommandText(Command::DiagPotsCallLoop), reply, std::move(stop));
}

bool DeviceCommands::DiagPotsStop(DeviceReply& reply, std::stop_token stop) {
    return Standard(nullptr, Command::DiagPotsStop, CommandText(Command::DiagPotsStop), reply, std::move(stop));
}
bool DeviceCommands::DiagPotsStop(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop) {
    return Standard(&gateway, Command::DiagPotsStop, CommandText(Command::DiagPotsStop), reply, std::move(stop));
}

bool DeviceCommands::DiagUplink(DeviceReply& reply, const std::string& method, std::stop_token stop) {
    return Standard(nullptr, Command::DiagUplink, CommandText(Command::DiagUplink, method), reply, std::move(stop));
}
bool DeviceCommands::DiagUplink(const ExchangeTarget& gateway, DeviceReply& reply, const std::string& method, std::stop_token stop) {
    return Standard(&gateway, Command::DiagUplink, CommandText(Command::DiagUplink, method), reply, std::move(stop));
}

bool DeviceCommands::DiagFlash(DeviceReply& reply, std::stop_token stop) {
    return Standard(nullptr, Command::DiagFlash, CommandText(Command::DiagFlash), reply, std::move(stop));
}
bool DeviceCommands::DiagFlash(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop) {
    return Standard(&gateway, Command::DiagFlash, CommandText(Command::DiagFlash), reply, std::move(stop));
}

bool DeviceCommands::DiagLed(DeviceReply& reply, const std::string& method, std::stop_token stop) {
    return Standard(nullptr, Command::DiagLed, CommandText(Command::DiagLed, method), reply, std::move(stop));
}
bool DeviceCommands::DiagLed(const ExchangeTarget& gateway, DeviceReply& reply, const std::string& method, std::stop_token stop) {
    return Standard(&gateway, Command::DiagLed, CommandText(Command::DiagLed, method), reply, std::move(stop));
}

bool DeviceCommands::DiagUsb(DeviceReply& reply, std::stop_token stop) {
    return Standard(nullptr, Command::DiagUsb, CommandText(Command::DiagUsb), reply, std::move(stop));
}
bool DeviceCommands::DiagUsb(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop) {
    return Standard(&gateway, Command::DiagUsb, CommandText(Command::DiagUsb), reply, std::move(stop));
}

bool DeviceCommands::DiagWifi(DeviceReply& reply, std::stop_token stop) {
    return Standard(nullptr, Command::DiagWifi, CommandText(Command::DiagWifi), reply, std::move(stop));
}
bool DeviceCommands::DiagWifi(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop) {
    return Standard(&gateway, Command::DiagWifi, CommandText(Command::DiagWifi), reply, std::move(stop));
}

bool DeviceCommands::DiagSoftwareVersion(DeviceReply& reply, std::stop_token stop) {
    return Standard(nullptr, Command::DiagSoftwareVersion, CommandText(Command::DiagSoftwareVersion), reply, std::move(stop));
}
bool DeviceCommands::DiagSoftwareVersion(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop) {
    return Standard(&gateway, Command::DiagSoftwareVersion, CommandText(Command::DiagSoftwareVersion), reply, std::move(stop));
}

bool DeviceCommands::DiagKeyProcess(DeviceReply& reply, std::stop_token stop) {
    return Standard(nullptr, Command::DiagKeyProcess, CommandText(Command::DiagKeyProcess), reply, std::move(stop));
}
bool DeviceCommands::DiagKeyProcess(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop) {
    return Standard(&gateway, Command::DiagKeyProcess, CommandText(Command::DiagKeyProcess), reply, std::move(stop));
}

bool DeviceCommands::DiagSystemResource(DeviceReply& reply, std::stop_token stop) {
    return Standard(nullptr, Command::DiagSystemResource, CommandText(Command::DiagSystemResource), reply, std::move(stop));
}
bool DeviceCommands::DiagSystemResource(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop) {
    return Standard(&gateway, Command::DiagSystemResource, CommandText(Command::DiagSystemResource), reply, std::move(stop));
}

bool DeviceCommands::DiagSoftwareArea(DeviceReply& reply, std::stop_token stop) {
    return Standard(nullptr, Command::DiagSoftwareArea, CommandText(Command::DiagSoftwareArea), reply, std::move(stop));
}
bool DeviceCommands::DiagSoftwareArea(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop) {
    return Standard(&gateway, Command::DiagSoftwareArea, CommandText(Command::DiagSoftwareArea), reply, std::move(stop));
}

bool DeviceCommands::DiagConfigIntegrity(DeviceReply& reply, std::stop_token stop) {
    return Standard(nullptr, Command::DiagConfigIntegrity, CommandText(Command::DiagConfigIntegrity), reply, std::move(stop));
}
bool DeviceCommands::DiagConfigIntegrity(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop) {
    return Standard(&gateway, Command::DiagConfigIntegrity, CommandText(Command::DiagConfigIntegrity), reply, std::move(stop));
}

bool DeviceCommands::DiagDiskIntegrity(DeviceReply& reply, std::stop_token stop) {
    return Standard(nullptr, Command::DiagDiskIntegrity, CommandText(Command::DiagDiskIntegrity), reply, std::move(stop));
}
bool DeviceCommands::DiagDiskIntegrity(const ExchangeTarget& gateway, DeviceReply& reply, std::stop_token stop) {
    return Standard(&gateway, Command::DiagDiskIntegrity, CommandText(Command::DiagDiskIntegrity), reply, std::move(stop));
}

bool DeviceCommands::RestorePreconfig(const ListenCallback& onReply, std::stop_token stop) {
    return Broadcast(nullptr, Command::RestorePreconfig, onReply, std::move(stop));
}
bool DeviceCommands::RestorePreconfig(const ExchangeTarget& segment, const ListenCallback& onReply,
                                      std::stop_token stop) {
    return Broadcast(&segment, Command::RestorePreconfig, onReply, std::move(stop));
}
bool DeviceCommands::QueryUpgradeStatus(const ListenCallback& onReply, std::stop_token stop) {
    return Broadcast(nullptr, Command::QueryUpgradeStatus, onReply, std::move(stop));
}
bool DeviceCommands::QueryUpgradeStatus(const ExchangeTarget& segment, const ListenCallback& onReply,
                                        std::stop_token stop) {
    return Broadcast(&segment, Command::QueryUpgradeStatus, onReply, std::move(stop));
}
bool DeviceCommands::CancelUpgrade(std::stop_token stop) {
    return Cancel(nullptr, std::move(stop));
}
bool DeviceCommands::CancelUpgrade(const ExchangeTarget& segment, std::stop_token stop) {
    return Cancel(&segment, std::move(stop));
}

} // namespace orva
