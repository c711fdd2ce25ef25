#include "engine/line/TelnetCodec.h"

namespace orva {

namespace {

bool weTake(unsigned char option)
{
    return option == TelnetCodec::Binary || option == TelnetCodec::SuppressGoAhead
        || option == TelnetCodec::ComPortOption;
}

void command(QByteArray& out, unsigned char verb, unsigned char option)
{
    out.append(char(TelnetCodec::Iac));
    out.append(char(verb));
    out.append(char(option));
}

QByteArray subnegotiation(unsigned char code, QByteArrayView value)
{
    QByteArray out;
    out.append(char(TelnetCodec::Iac));
    out.append(char(TelnetCodec::Sb));
    out.append(char(TelnetCodec::ComPortOption));
    out.append(char(code));
    out.append(TelnetCodec::escape(value));
    out.append(char(TelnetCodec::Iac));
    out.append(char(TelnetCodec::Se));
    return out;
}

} // namespace

void TelnetCodec::reset()
{
    *this = TelnetCodec();
}

QByteArray TelnetCodec::opening()
{
    QByteArray out;
    for (const unsigned char option : {Binary, SuppressGoAhead}) {
        m_options[option].usAsked = true;
        m_options[option].himAsked = true;
        command(out, Will, option);
        command(out, Do, option);
    }
    m_options[ComPortOption].usAsked = true;
    command(out, Will, ComPortOption);
    return out;
}

void TelnetCodec::decode(QByteArrayView chunk, Decoded& out)
{
    for (const char c : chunk) {
        const auto byte = static_cast<unsigned char>(c);
        switch (m_state) {
        case State::Data:
            if (byte == Iac)
                m_state = State::Command;
            else
                out.data.append(c);
            break;
        case State::Command:
            if (byte == Iac) {
                out.data.append(c);
                m_state = State::Data;
            } else if (byte >= Will) {
                m_verb = byte;
                m_state = State::Option;
            } else if (byte == Sb) {
                m_state = State::Subnegotiation;
            } else {
                // NOP, data mark, break, go-ahead, a stray SE ...: nothing
                // the panel acts on.
                m_state = State::Data;
            }
            break;
        case State::Option:
            negotiate(m_verb, byte, out);
            m_state = State::Data;
            break;
        case State::Subnegotiation:
            if (byte == Iac)
                m_state = State::SubnegotiationCommand;
            break;
        case State::SubnegotiationCommand:
            if (byte == Iac) { // a doubled 255 inside the sub-negotiation
                m_state = State::Subnegotiation;
            } else if (byte == Se) {
                // The server's replies and notifications change nothing here.
                m_state = State::Data;
            } else {
                // A command inside a sub-negotiation ends it unfinished; the
                // command is read as one.
                m_state = State::Command;
                decode(QByteArrayView(&c, 1), out);
            }
            break;
        }
    }
}

void TelnetCodec::negotiate(unsigned char verb, unsigned char option, Decoded& out)
{
    OptionState& o = m_options[option];
    switch (verb) {
    case Do:
        if (!weTake(option)) {
            command(out.reply, Wont, option);
        } else if (!o.us) {
            if (!o.usAsked)
                command(out.reply, Will, option);
            o.us = true;
            o.usAsked = false;
            if (option == ComPortOption && m_comPort != ComPort::Accepted) {
                m_comPort = ComPort::Accepted;
                out.comPortAccepted = true;
            }
        }
        break;
    case Dont:
        if (o.us)
            command(out.reply, Wont, option);
        o.us = false;
        o.usAsked = false;
        if (option == ComPortOption)
            refuseComPort(out);
        break;
    case Will:
        if (!weTake(option)) {
            command(out.reply, Dont, option);
        } else if (!o.him) {
            if (!o.himAsked)
                command(out.reply, Do, option);
            o.him = true;
            o.himAsked = false;
        }
        break;
    default: // Wont
        if (o.him)
            command(out.reply, Dont, option);
        o.him = false;
        o.himAsked = false;
        // A server that answers our WILL with its WONT means no as well.
        if (option == ComPortOption && m_comPort == ComPort::Asked)
            refuseComPort(out);
        break;
    }
}

void TelnetCodec::refuseComPort(Decoded& out)
{
    if (m_comPort == ComPort::Refused)
        return;
    m_comPort = ComPort::Refused;
    out.comPortRefused = true;
}

QByteArray TelnetCodec::escape(QByteArrayView data)
{
    QByteArray out;
    out.reserve(data.size());
    for (const char c : data) {
        out.append(c);
        if (static_cast<unsigned char>(c) == Iac)
            out.append(c);
    }
    return out;
}

QByteArray TelnetCodec::setBaudRate(int baud)
{
    const auto value = quint32(baud);
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return subnegotiation(SetBaudRate, QByteArrayView(bytes, 4));
}

QByteArray TelnetCodec::lineSettings(int baud)
{
    const char eight = 8;
    const char none = char(ParityNone);
    const char one = char(OneStopBit);
    return setBaudRate(baud) + subnegotiation(SetDataSize, QByteArrayView(&eight, 1))
        + subnegotiation(SetParity, QByteArrayView(&none, 1)) + subnegotiation(SetStopSize, QByteArrayView(&one, 1));
}

} // namespace orva
