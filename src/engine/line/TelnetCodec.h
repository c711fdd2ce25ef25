#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>

namespace orva {

// The client side of Telnet (RFC 854) with the Com Port Control option
// (RFC 2217), as a network serial server speaks it: no sockets, bytes in and
// bytes out, so that every split of the stream can be tried.
//
// Outgoing data has its byte 255 (IAC) doubled. Incoming bytes are decoded
// incrementally: a command, an option negotiation or a sub-negotiation may
// be split across any number of chunks. Options:
//  - COM-PORT-OPTION (44) is asked for (WILL); the server's DO accepts it,
//    its DONT (or WONT while asked) refuses it. The server's WILL is taken.
//  - TRANSMIT-BINARY (0) and SUPPRESS-GO-AHEAD (3) are asked for and taken
//    both ways: without binary mode a bare carriage return, which ends every
//    frame, is not a clean byte of the Telnet network virtual terminal.
//  - Every other option the server offers or asks for is refused (DONT,
//    WONT), and answered once per request, so that no negotiation loops.
// Sub-negotiations from the server (replies to our settings, line and modem
// state notifications) are read and ignored: their bytes are dropped as they
// come and never kept, so no length of one grows the memory held.
class TelnetCodec
{
public:
    // Telnet commands and options.
    enum : unsigned char {
        Se = 240,
        Sb = 250,
        Will = 251,
        Wont = 252,
        Do = 253,
        Dont = 254,
        Iac = 255,
        Binary = 0,
        SuppressGoAhead = 3,
        ComPortOption = 44,
    };
    // Com Port Control commands from the client; the server's replies add 100.
    enum : unsigned char { SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4 };
    enum : unsigned char { ParityNone = 1, OneStopBit = 1 };

    enum class ComPort { Asked, Accepted, Refused };

    // What a chunk of incoming bytes gave.
    struct Decoded
    {
        QByteArray data;  // the serial line's bytes
        QByteArray reply; // answers to the server's negotiation, to be sent
        bool comPortAccepted = false;
        bool comPortRefused = false;
    };

    // Forgets everything of an earlier connection.
    void reset();

    // What the client sends first: its option requests.
    QByteArray opening();
    // Decodes a chunk of incoming bytes, appending to out.
    void decode(QByteArrayView chunk, Decoded& out);
    ComPort comPort() const { return m_comPort; }

    // Data for the wire: every 255 doubled.
    static QByteArray escape(QByteArrayView data);
    // SET-BAUDRATE for this speed.
    static QByteArray setBaudRate(int baud);
    // The whole line: the speed, 8 data bits, no parity, 1 stop bit.
    static QByteArray lineSettings(int baud);

private:
    enum class State { Data, Command, Option, Subnegotiation, SubnegotiationCommand };
    struct OptionState
    {
        bool us = false;       // we do it (we said WILL, the server DO)
        bool usAsked = false;  // we said WILL and wait for the answer
        bool him = false;      // the server does it
        bool himAsked = false; // we said DO and wait for the answer
    };

    void negotiate(unsigned char verb, unsigned char option, Decoded& out);
    void refuseComPort(Decoded& out);

    State m_state = State::Data;
    unsigned char m_verb = 0;
    ComPort m_comPort = ComPort::Asked;
    std::array<OptionState, 256> m_options{};
};

} // namespace orva
